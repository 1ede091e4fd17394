// The product's side of the bridge host: the run's objects, the install language, the licence and
// the UI stage exactly as the wizard sets them up, with the window shown on a test page folder.
// Every use of the product's bridge and run-sequence interfaces is in product_run.cpp.
#pragma once

#include <windows.h>
#include <dispex.h>

#include <string>

namespace qrxtest {

// What the host does around the product's window; called on the window's thread.
struct WindowHooks {
  // Before the window exists; `bridge` is the object the pages reach as window.external.
  void (*beforeWindow)(IDispatchEx* bridge, void* context);
  // The window's message loop has ended (the page closed it).
  void (*afterWindow)(void* context);
  // The run has ended but a worker still runs: the process ends now, as the wizard's does.
  void (*beforeExit)(void* context);
  void* context;
};

// Runs the wizard's UI stage on the pages in `pageFolder` (start analytics, resume shortcut, the
// host window with its message loop, final analytics, error report) with the product's bridge.
// False when the window could not be created.
bool RunProductUi(const std::wstring& pageFolder, const WindowHooks& hooks);

// The product's window class: the bridge acts only on windows of this class.
extern const wchar_t* const kProductWindowClass;

}  // namespace qrxtest
