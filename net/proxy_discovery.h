#pragma once
// Finding the HTTPS proxy: the environment variable named by the configuration, read as a proxy
// list, then confirmed or corrected by the voter.

#include <string>
#include <string_view>

#include "net/proxy_prompt.h"
#include "net/server_endpoint.h"

namespace sorvimend {

// The first entry without a key or keyed exactly "https" whose address has a host; empty when
// none qualifies. Entries look like "addr", "key=addr", separated by ";" or white space.
[[nodiscard]] ServerEndpoint parseProxyList(std::string_view value);

// user ":" password "@" host ":" port (or host ":" port without a user name), parsed; an empty
// host gives an empty address.
[[nodiscard]] ServerEndpoint addressFromDialog(const ProxyDialogFields& fields);

// Reads the variable (unset: empty, no dialog). A proxy found is shown through prompt (when one
// is given): confirmed fields are parsed anew, cancelling empties the address, closing keeps it.
// The caller sets the result as the channel's proxy only when it has a host.
[[nodiscard]] ServerEndpoint discoverProxy(const std::string& variableName, ProxyPrompt* prompt);

}  // namespace sorvimend
