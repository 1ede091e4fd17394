// Ready states other than complete, and other properties, do not reach the external object.
host.ready(2);
host.ready(3);
external.note("loaded");
host.setTimeout(function () {
  external.note("timer");
  host.notify(-501);
  host.ready(3);
  host.ready(4);
  external.note("complete again");
  external.closeWindow();
}, 0);
