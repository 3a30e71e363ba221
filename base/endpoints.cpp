#include "base/endpoints.h"

#include "base/settings.h"

#include <cctype>
#include <cstdlib>

namespace rankmoth::base {

namespace {
constexpr const char* kNoticeHost = "blog.notice.example";
constexpr const char* kNoticeOwnerId = "pellwood";
constexpr const char* kVersionPostId = "1330001";
constexpr const char* kStartTabPostId = "1330002";

std::string NoticePageUrl(const char* postId) {
    return std::string("http://") + kNoticeHost + "/w2/blogDetail.do?hostID=" + kNoticeOwnerId + "&blogId=" + postId;
}

bool StartsWithIgnoringCase(const std::string& s, std::string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i])
            return false;
    return true;
}

bool HasBlank(const std::string& s) {
    for (const char c : s)
        if (static_cast<unsigned char>(c) <= 32 || c == 0x7F)
            return true;
    return false;
}

enum class Form { HostPort, ShopBase, Notice };

struct Layer {
    Form form;
    const char* key;      // in [hosts]
    const char* variable; // in the environment
    std::string Endpoints::*field;
};

const Layer kLayers[] = {
    {Form::HostPort, "market", "RANKMOTH_MARKET_HOST", &Endpoints::marketHost},
    {Form::ShopBase, "shop_base", "RANKMOTH_SHOP_BASE", &Endpoints::shopBase},
    {Form::Notice, "version_notice", "RANKMOTH_VERSION_NOTICE_URL", &Endpoints::versionNoticeUrl},
    {Form::Notice, "start_tab_notice", "RANKMOTH_START_TAB_NOTICE_URL", &Endpoints::startTabNoticeUrl},
};

// Checks `value` for `form`; on success it may be tidied (a shop base gets its closing "/").
std::string ProblemOf(Form form, std::string& value) {
    switch (form) {
    case Form::HostPort:
        return HostPortProblem(value);
    case Form::ShopBase: {
        std::string problem = value.empty() ? std::string("empty") : AddressProblem(value);
        if (problem.empty() && value.back() != '/')
            value += '/';
        return problem;
    }
    case Form::Notice:
        return value.empty() ? std::string() : AddressProblem(value);
    }
    return {};
}

} // namespace

EnvLookup ProcessEnvironment() {
    return [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
}

std::string HostPortProblem(const std::string& value) {
    if (value.empty())
        return "empty";
    if (HasBlank(value))
        return "contains a space or control character";
    if (value.find("://") != std::string::npos)
        return "a scheme (\"http://\") does not belong here, only host[:port]";
    if (value.find_first_of("/?#@\\") != std::string::npos)
        return "only host[:port] belongs here, without a path";
    std::string host = value;
    std::string port;
    if (value.front() == '[') {
        const auto close = value.find(']');
        if (close == std::string::npos)
            return "an IPv6 address without its closing \"]\"";
        host = value.substr(1, close - 1);
        const std::string rest = value.substr(close + 1);
        if (!rest.empty() && rest.front() != ':')
            return "text after the IPv6 address";
        if (!rest.empty())
            port = rest.substr(1);
        if (!rest.empty() && port.empty())
            return "a \":\" without a port";
    } else if (const auto colon = value.find(':'); colon != std::string::npos) {
        host = value.substr(0, colon);
        port = value.substr(colon + 1);
        if (port.empty())
            return "a \":\" without a port";
    }
    if (host.empty())
        return "no host name";
    if (!port.empty()) {
        if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
            return port.find_first_not_of("0123456789") == std::string::npos ? "port above 65535"
                                                                             : "the port is not a number";
        const long number = std::strtol(port.c_str(), nullptr, 10);
        if (number > 65535)
            return "port above 65535";
        if (number == 0)
            return "port 0";
    }
    return {};
}

std::string AddressProblem(const std::string& value) {
    if (HasBlank(value))
        return "contains a space or control character";
    std::size_t start = 0;
    if (StartsWithIgnoringCase(value, "http://"))
        start = 7;
    else if (StartsWithIgnoringCase(value, "https://"))
        start = 8;
    else
        return "not an http:// or https:// address";
    const auto end = value.find_first_of("/?#", start);
    const std::string problem = HostPortProblem(value.substr(start, end == std::string::npos ? end : end - start));
    return problem.empty() ? problem : "its host " + problem;
}

Endpoints Endpoints::Defaults() {
    return Endpoints{"www.fashionmarket.example", "http://shop.fashionmarket.example/", NoticePageUrl(kVersionPostId),
                     NoticePageUrl(kStartTabPostId)};
}

Endpoints Endpoints::FromEnvironment() {
    std::vector<std::string> ignored;
    return Resolve(std::string(), ProcessEnvironment(), ignored);
}

Endpoints Endpoints::Resolve(const std::string& configFile, const EnvLookup& env, std::vector<std::string>& problems,
                             std::vector<Origin>* origins) {
    Endpoints e = Defaults();
    for (const Layer& layer : kLayers) {
        std::string& current = e.*layer.field;
        std::string from = "built-in";
        if (!configFile.empty()) {
            if (auto stored = LocateSetting(configFile, Text("hosts"), Text(layer.key))) {
                std::string value = stored->value.bytes();
                if (const std::string problem = ProblemOf(layer.form, value); problem.empty()) {
                    current = value;
                    from = stored->file + " line " + std::to_string(stored->line);
                } else {
                    problems.push_back(stored->file + ": [hosts] " + layer.key + " = \"" + stored->value.bytes() +
                                       "\" on line " + std::to_string(stored->line) + ": " + problem);
                }
            }
        }
        std::optional<std::string> fromEnv = env ? env(layer.variable) : std::nullopt;
        // An empty variable means "not set" for the hosts, because `VAR= command` is how a shell clears one
        // for a single run; for a notice an empty address is the documented way to turn the check off.
        if (fromEnv && (!fromEnv->empty() || layer.form == Form::Notice)) {
            std::string value = *fromEnv;
            if (const std::string problem = ProblemOf(layer.form, value); problem.empty()) {
                current = value;
                from = std::string("environment ") + layer.variable;
            } else {
                problems.push_back(std::string("environment: ") + layer.variable + " = \"" + *fromEnv +
                                   "\": " + problem);
            }
        }
        if (origins)
            origins->push_back({layer.key, layer.variable, current, from});
    }
    return e;
}

} // namespace rankmoth::base
