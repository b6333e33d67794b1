#pragma once

// libjack prints a few lines of its own when no server answers. Where that is
// an ordinary answer, reported through a status instead, they are silenced
// while one of these lives. [UI]

#include <jack/jack.h>

namespace tolva {

class QuietJackMessages {
  public:
    QuietJackMessages() : error_(jack_error_callback), info_(jack_info_callback) {
        jack_set_error_function(&silent);
        jack_set_info_function(&silent);
    }
    ~QuietJackMessages() {
        jack_set_error_function(error_);
        jack_set_info_function(info_);
    }
    QuietJackMessages(const QuietJackMessages&) = delete;
    QuietJackMessages& operator=(const QuietJackMessages&) = delete;

  private:
    static void silent(const char*) {}

    void (*error_)(const char*);
    void (*info_)(const char*);
};

}  // namespace tolva
