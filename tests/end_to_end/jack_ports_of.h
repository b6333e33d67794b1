#pragma once

// The ports a client shows on the JACK server, as another client sees them.

#include <jack/jack.h>

#include <string>
#include <vector>

namespace tolva::test {

// The short names ("in", "out") of the ports of the client named exactly
// `clientName`, sorted; empty when no such client is on the server.
std::vector<std::string> portsOfClient(jack_client_t* observer, const std::string& clientName);

}  // namespace tolva::test
