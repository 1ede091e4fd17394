// What an HTTP status says about the file asked for, the same for every download.
#pragma once

namespace qrx {

// 404 (not found) and 410 (gone): the file is not on the server.
inline bool IsNotFoundHttpStatus(unsigned long status) { return status == 404 || status == 410; }

}  // namespace qrx
