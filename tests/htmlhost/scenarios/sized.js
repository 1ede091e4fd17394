// Sizes the window before it is complete: the default size does not apply.
external.setWindowSize(647, 505);
host.setTimeout(function () {
  external.windowSize();
  external.closeWindow();
}, 0);
