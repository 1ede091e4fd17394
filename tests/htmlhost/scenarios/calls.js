// A page that makes the calls a page makes: a statement call, a value read, a polled close.
external.note("start");
var version = external.getProperty("osVersion");
external.note(version);
external.note("ambient " + host.ambient(-5512));
var polls = 0;
function poll() {
  polls = polls + 1;
  if (polls < 3) {
    host.setTimeout(poll, 5);
    return;
  }
  external.note("polled " + polls);
  external.closeWindow();
  external.closeWindow();
}
host.setTimeout(poll, 0);
