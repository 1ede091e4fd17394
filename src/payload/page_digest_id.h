// Resource id of the page table's SHA-256 digest, which the build places in the signed image
// (an RCDATA resource of 32 bytes). Shared by the resource script and the reader.
#pragma once

#define QRX_PAGE_TABLE_DIGEST_ID 201
