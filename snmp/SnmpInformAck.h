// The Response that acknowledges an SNMPv2c InformRequest: the inform's
// version, community, request id and variable bindings, byte for byte as
// they were received, with the PDU type Response and error status and index
// 0. Copying the bindings as bytes sends back exactly what came, whatever
// their types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// False (logged) when the datagram is not a whole, well-formed InformRequest.
bool BuildInformAck(const uint8_t* inform, size_t size, std::vector<uint8_t>* ack);
