#pragma once

// alsa-lib prints its own lines when a device cannot be opened. Where the
// status says it already, they are silenced while one of these lives. [UI]

#include <alsa/asoundlib.h>

namespace tolva {

class QuietAlsaMessages {
  public:
    QuietAlsaMessages() { snd_lib_error_set_handler(&silent); }
    ~QuietAlsaMessages() { snd_lib_error_set_handler(nullptr); }
    QuietAlsaMessages(const QuietAlsaMessages&) = delete;
    QuietAlsaMessages& operator=(const QuietAlsaMessages&) = delete;

  private:
    static void silent(const char*, int, const char*, int, const char*, ...) {}
};

}  // namespace tolva
