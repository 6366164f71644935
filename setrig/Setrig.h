/* libsetrig: the installer support library.
 *
 * Plain C functions that an installer calls while it sets Tavelo up.
 * Every string is UTF-8. A function returns non-zero on success (or a
 * number where said), never throws and logs every failure under the
 * program name "Setrig".
 *
 * Output buffers: a reader first stores an empty string in its buffer;
 * a result longer than the buffer is cut at a character boundary and
 * always terminated. Sizes are in bytes, the terminator included.
 */
#ifndef SETRIG_SETRIG_H
#define SETRIG_SETRIG_H

#include <stdint.h>

#define SETRIG_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Certificates: a PKCS #12 file (null password: the empty one), else a
 * PKCS #7 file (DER or PEM); only its first certificate is stored. */
SETRIG_API int Setrig_CertificateImport(const char* file, const char* password, const char* store);
SETRIG_API int Setrig_CertificateDelete(const char* subject, const char* store);

/* ODBC */
SETRIG_API int Setrig_OdbcCheckConnect(const char* driver, const char* server, const char* user, const char* password,
                                       const char* database);
SETRIG_API int Setrig_OdbcGetDriver(uint32_t index, char* buffer, uint32_t size);
/* Plays a SQL script file (UTF-16 with its byte order mark, or UTF-8) in
 * batches cut at lines that begin with GO; a failing batch does not stop
 * the others. The database may be null or empty: the server's default. */
SETRIG_API int Setrig_OdbcPlayScript(const char* driver, const char* server, const char* user, const char* password,
                                     const char* database, const char* script);

/* Services (systemd units) */
SETRIG_API int Setrig_ServiceCreate(const char* name, const char* executable, const char* display_name,
                                    const char* description);
SETRIG_API int Setrig_ServiceStart(const char* name);
SETRIG_API int Setrig_ServiceStop(const char* name);
SETRIG_API int Setrig_ServiceDelete(const char* name);

/* Sockets and URLs */
SETRIG_API int Setrig_SockCheckTcpPort(const char* host, uint16_t port);
SETRIG_API int Setrig_SockCheckHostname(const char* host);
/* The URL's port (the scheme's default when it has none), 0 on failure. */
SETRIG_API uint16_t Setrig_SockParseUrl(const char* url, char* scheme, uint32_t scheme_size, char* host,
                                        uint32_t host_size);

/* XML files; an empty tag path selects the document element. */
SETRIG_API int Setrig_XmlGetTagValue(const char* file, const char* tag, char* buffer, uint32_t size);
SETRIG_API int Setrig_XmlSetTagValue(const char* file, const char* tag, const char* value);
SETRIG_API int Setrig_XmlGetAttributeValue(const char* file, const char* tag, const char* attribute, char* buffer,
                                           uint32_t size);
SETRIG_API int Setrig_XmlSetAttributeValue(const char* file, const char* tag, const char* attribute, const char* value);

#ifdef __cplusplus
}
#endif

#endif /* SETRIG_SETRIG_H */
