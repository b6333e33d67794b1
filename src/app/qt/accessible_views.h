#pragma once

// What assistive technology (a screen reader, over AT-SPI) finds in the
// panel's views, and what it can do with them.
//
// Qt's own interfaces would toggle or press a button without a click and
// set a slider's raw position, both behind the model's back: the screen
// would change and the sound would not. Here an accessible Press or Toggle
// is a click, so it reaches the control's model (and its action, once)
// exactly as the mouse does; a slider reads and takes its value in its unit
// (see SliderUnit) and a value set that way is a user's move; the level
// meter reads as a value from 0 to its number of cells.

namespace tolva {

// [UI] Makes Qt build these interfaces for the views of this folder. Called
// by the views as they are made; once is enough, more calls do nothing.
void installAccessibleViews();

}  // namespace tolva
