// liboidatlas: best-known symbolic names for numeric OIDs, without any MIB loaded.
//
// Every export takes a zero-terminated UTF-16 OID in dotted-decimal form
// ("1.3.6.1.2.1.1.1.0") and never changes it. Texts returned from the table
// stay valid while the library is loaded and must not be changed or freed.
#pragma once

#ifdef __cplusplus
#include <cstdint>
#else
#include <stdint.h>
#include <uchar.h>
#endif

#if defined(OIDATLAS_BUILDING)
#define OIDATLAS_API __attribute__((visibility("default")))
#else
#define OIDATLAS_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Key of the longest known prefix of oid (cut at dots), or null.
OIDATLAS_API const char16_t* OidAtlas_BestKnown(const char16_t* oid);

// Name of the best-known prefix followed by the rest of oid ("sysDescr.0"),
// or null. The text lives in a per-thread buffer of 1024 code units and stays
// valid until the same thread calls OidAtlas_Translate again. A result that
// would not fit that buffer gives null.
OIDATLAS_API const char16_t* OidAtlas_Translate(const char16_t* oid);

// Module that defines the best-known prefix (empty for the root arcs), or null.
OIDATLAS_API const char16_t* OidAtlas_MibModule(const char16_t* oid);

// Line of the best-known prefix's definition in its module file (0 for the
// root arcs), or 0 when nothing is known.
OIDATLAS_API uint32_t OidAtlas_MibLine(const char16_t* oid);

#ifdef __cplusplus
}
#endif
