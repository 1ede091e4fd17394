// Never sizes the window: the host gives it its default size once the page is complete.
host.setTimeout(function () {
  external.windowSize();
  external.closeWindow();
}, 0);
