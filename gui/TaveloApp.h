// The workbench program: start-up and shut-down around the main window.
#pragma once

class QApplication;

class CTaveloApp {
 public:
  CTaveloApp();
  ~CTaveloApp();
  CTaveloApp(const CTaveloApp&) = delete;
  CTaveloApp& operator=(const CTaveloApp&) = delete;

  // Registers the program's images (the library is static: call once
  // before the first image is used).
  static void InitResources();

  // Builds the main window and runs the event loop; the program's status.
  int Run(QApplication& app);
};
