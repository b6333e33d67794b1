#include "jack_ports_of.h"

#include <algorithm>

namespace tolva::test {

std::vector<std::string> portsOfClient(jack_client_t* observer, const std::string& clientName) {
    std::vector<std::string> shortNames;
    const char** ports = jack_get_ports(observer, nullptr, nullptr, 0);
    const std::string prefix = clientName + ":";
    for (const char** name = ports; name != nullptr && *name != nullptr; ++name) {
        const std::string full(*name);
        if (full.rfind(prefix, 0) == 0) {
            shortNames.push_back(full.substr(prefix.size()));
        }
    }
    jack_free(static_cast<void*>(ports));
    std::sort(shortNames.begin(), shortNames.end());
    return shortNames;
}

}  // namespace tolva::test
