// The document title becomes the window caption.
host.title("Lumenary R7 Setup");
external.caption();
external.closeWindow();
