// The few Net-SNMP ASN.1 primitives the benchmark compares with, declared
// here so that only the run-time library (libnetsnmp.so.40) is needed.
#pragma once

#include <cstddef>

extern "C" {
using netsnmp_oid = unsigned long;
unsigned char* asn_build_sequence(unsigned char* data, size_t* datalength, unsigned char type, size_t length);
unsigned char* asn_build_header(unsigned char* data, size_t* datalength, unsigned char type, size_t length);
unsigned char* asn_build_int(unsigned char* data, size_t* datalength, unsigned char type, const long* intp,
                             size_t intsize);
unsigned char* asn_build_string(unsigned char* data, size_t* datalength, unsigned char type, const unsigned char* str,
                                size_t strlength);
unsigned char* asn_build_objid(unsigned char* data, size_t* datalength, unsigned char type, const netsnmp_oid* objid,
                               size_t objidlength);
unsigned char* asn_build_null(unsigned char* data, size_t* datalength, unsigned char type);
unsigned char* asn_parse_sequence(unsigned char* data, size_t* datalength, unsigned char* type,
                                  unsigned char expected_type, const char* estr);
unsigned char* asn_parse_header(unsigned char* data, size_t* datalength, unsigned char* type);
unsigned char* asn_parse_int(unsigned char* data, size_t* datalength, unsigned char* type, long* intp, size_t intsize);
unsigned char* asn_parse_string(unsigned char* data, size_t* datalength, unsigned char* type, unsigned char* str,
                                size_t* strlength);
unsigned char* snmp_parse_var_op(unsigned char* data, netsnmp_oid* var_name, size_t* var_name_len,
                                 unsigned char* var_val_type, size_t* var_val_len, unsigned char** var_val,
                                 size_t* listlength);
}
