// The bridge host of the page tests: the product's real bridge, download folder, workers, download
// engine, installer, reporter and host window under Wine, with the pages' calls arriving over
// loopback HTTP from the page proxy in a browser.
//   qrx_bridge_host <page folder> <log file>
// Prints "listening <port>" once the product window exists; exits when the page closed it.
#include <windows.h>

#include <cstdio>

#include "pages/bridge_host/page_calls.h"
#include "pages/bridge_host/product_run.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: qrx_bridge_host <page folder> <log file>\n");
    return 2;
  }
  FILE* log = _wfopen(argv[2], L"wb");
  // Never destroyed: connection threads may still wait on the window's thread when the run ends.
  auto* server = new qrxtest::PageCallServer(log);
  static bool started = false;
  qrxtest::WindowHooks hooks;
  hooks.beforeWindow = [](IDispatchEx* bridge, void* context) {
    started = static_cast<qrxtest::PageCallServer*>(context)->Start(bridge);
  };
  hooks.afterWindow = [](void* context) { static_cast<qrxtest::PageCallServer*>(context)->OnWindowClosed(); };
  hooks.beforeExit = [](void* context) {
    static_cast<qrxtest::PageCallServer*>(context)->Log("host: run ended with a worker still running");
    std::printf("ended\n");
    std::fflush(stdout);
  };
  hooks.context = server;
  const bool shown = qrxtest::RunProductUi(argv[1], hooks);
  server->Log(shown && started ? "host: run ended" : "host: the window or the call server did not start");
  std::printf("ended\n");
  std::fflush(stdout);
  ExitProcess(shown && started ? 0 : 1);
}
