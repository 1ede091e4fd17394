// Opens a pull-mode URL stream whose notifications go to `callback`.
#pragma once

#include <windows.h>
#include <urlmon.h>

namespace downloadmanagercore {

// URLOpenPullStreamW; where the platform does not implement it (E_NOTIMPL), the same pull binding
// through the URL moniker with the pull flags added to the callback's bind information.
HRESULT OpenPullStream(LPCWSTR url, IBindStatusCallback* callback);

// The failure an HTTP status stands for: not found for 404 and 410, the status's own HRESULT for
// a transient one (HttpStatusHResult), no data for other statuses from 400 up, S_OK otherwise.
HRESULT HttpStatusFailure(unsigned long status);

// The moniker path alone.
HRESULT BindPullStream(LPCWSTR url, IBindStatusCallback* callback);

}  // namespace downloadmanagercore
