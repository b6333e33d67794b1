#pragma once

// A WAV file of 32-bit float samples, written through a file descriptor from
// the first byte on: the header goes first, with the frame count known in
// advance, so the file can go straight into a pipe or a device. When the
// count is not known, the header claims the most a WAV file can hold, as
// streaming writers do; on a regular file it is rewritten with the true
// count at the end.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tolva {

class FloatWavWriter {
  public:
    // frames < 0: not known in advance.
    FloatWavWriter(int fd, int channels, int rate, int64_t frames);

    // The header. False, with `error` set, when it cannot be written.
    bool begin(std::string* error);
    // Interleaved frames, channels() samples each. False when they cannot be
    // written or would make the file longer than a WAV file can be.
    bool write(const float* interleaved, size_t frames, std::string* error);
    // Puts the true frame count into the header where the file allows it.
    // False when it does not and the header promised another count.
    bool finish(std::string* error);

    static constexpr size_t kHeaderSize = 58;

  private:
    std::array<unsigned char, kHeaderSize> header(int64_t frames) const;
    bool writeAll(const void* bytes, size_t size, std::string* error);

    const int fd_;
    const int channels_;
    const int rate_;
    const int64_t promised_;
    int64_t start_ = -1;  // offset of the header in a regular file; -1 elsewhere
    uint64_t dataBytes_ = 0;
};

}  // namespace tolva
