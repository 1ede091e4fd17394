// Serves the page proxy's requests over loopback HTTP against the bridge, on the window's thread,
// the way the HTML engine's script calls it:
//   op=hello                     a page starts (its proxy is installed); earlier pages are gone
//   op=call name flags arg...    GetDispID(name, case-sensitive), then InvokeEx with the flags the
//                                call site implies (1: statement, 3: value used; a result variant
//                                only for 3); page functions become callback objects
//   op=get name                  a member read: methods are reported as such, expando values read
//                                with DISPATCH_PROPERTYGET
//   op=put name arg              an expando put: GetDispID with fdexNameEnsure, DISPATCH_PROPERTYPUT
//   op=delete name               DeleteMemberByName
//   op=events                    waits up to a second for callbacks the bridge made to this page
//   op=ack seq threw             the page ran callback event `seq`; the bridge's Invoke returns
// Each request names its page (page=<token>). Every served operation is written to the log.
#pragma once

#include <windows.h>
#include <dispex.h>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>

#include "support/report_server.h"

namespace qrxtest {

class PageCallServer {
 public:
  PageCallServer(FILE* log) : log_(log) {}
  ~PageCallServer();

  // On the window's thread, before the window exists: makes the window that receives the calls
  // and starts listening on 127.0.0.1 (a port the system picks).
  bool Start(IDispatchEx* bridge);
  // The product window exists and its loop runs: answer the caption drag, say where we listen.
  void OnWindowReady();
  // The window's loop has ended: later calls are refused.
  void OnWindowClosed();
  unsigned short port() const { return server_.port(); }

  // A callback object's Invoke (on the window's thread): queues the event for `page` and runs
  // sent messages (the page's calls) until the page has run its function.
  HRESULT RunCallback(const std::string& page, int function, DISPPARAMS* params);

  void Log(const std::string& line);

 private:
  struct Event {
    long seq;
    std::string page;
    int function;
    std::string args;  // JSON array
    bool delivered = false;
    bool done = false;
    bool threw = false;
  };

  std::string Respond(const RecordedRequest& request);
  std::string OnUiThread(const std::string& body);
  std::string Call(const std::string& page, const std::string& name, WORD flags, const std::vector<std::string>& args);
  std::string Get(const std::string& name);
  std::string Put(const std::string& name, const std::string& argument);
  std::string Delete(const std::string& name);
  std::string Events(const std::string& page);
  std::string Ack(long seq, bool threw);
  void Hello(const std::string& page);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  FILE* log_;
  std::mutex logLock_;
  IDispatchEx* bridge_ = nullptr;
  HWND callWindow_ = nullptr;
  DWORD uiThread_ = 0;
  ReportServer server_;

  std::mutex lock_;
  std::condition_variable changed_;
  std::string currentPage_;
  bool closed_ = false;
  long nextSeq_ = 1;
  std::deque<Event> events_;
  HANDLE wake_ = nullptr;  // set on every ack and page change
};

}  // namespace qrxtest
