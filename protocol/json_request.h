#pragma once
// The request envelope of the voting service: one compact JSON object
// {"method":"RPC.<name>","params":[{...}],"id":0} with every parameter value a string, members in
// the order given. No whitespace, no trailing newline: the server reads exactly one JSON text.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sorvimend {

using RequestParams = std::vector<std::pair<std::string, std::string>>;

// Appends text as a JSON string literal: quotation mark, backslash and control characters are
// escaped (\b \t \n \f \r, others \u00XX); every other byte, UTF-8 included, goes out unchanged.
void appendJsonString(std::string& out, std::string_view text);

// The whole request text for a method name without the "RPC." prefix.
[[nodiscard]] std::string buildRequest(std::string_view method, const RequestParams& params);

}  // namespace sorvimend
