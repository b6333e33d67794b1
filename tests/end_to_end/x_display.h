#pragma once

// Whether the X display the environment names can be opened now. The window
// on Qt's xcb platform ends the process when it cannot, so this is asked
// before a QApplication exists.

namespace tolva::test {

bool xDisplayOpens();

}  // namespace tolva::test
