// Keys reach the document before the window: F5 is the document's own, A is not.
host.key(116);
host.key(65);
host.setTimeout(function () { external.closeWindow(); }, 20);
