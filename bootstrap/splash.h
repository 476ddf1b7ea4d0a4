// What the bootstrap asks of the splash window. The real window (TfrmSplash)
// implements it over Win32; tests use a recording stand-in.
#pragma once

#include <string>

class Splash {
 public:
  virtual ~Splash() = default;

  // Paints the whole window, picture and status text, and has it on the
  // screen before returning.
  virtual void PaintNow() = 0;
  // Replaces the status text; only marks the label for repainting.
  virtual void SetStatusText(const std::string& text) = 0;
  // Takes the window off the screen before returning, activating no other
  // window. Does not end the modal run.
  virtual void HideSplash() = 0;
  // Asks the modal run to end once the running message handler has returned;
  // the window stays on screen until then.
  virtual void RequestClose() = 0;
};
