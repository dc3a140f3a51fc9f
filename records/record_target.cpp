#include "records/record_target.h"

#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

namespace vantrel {
namespace {

constexpr std::string_view kSqlitePrefix = "sqlite:";

// Settings added to a server's conninfo unless its URL has its own: how
// long connecting may take, and how soon a network that went silent counts
// as gone, so that the spool takes over instead of a write hanging.
constexpr std::pair<const char*, const char*> kServerDefaults[] = {
    {"connect_timeout", "5"},
    {"keepalives", "1"},
    {"keepalives_idle", "5"},
    {"keepalives_interval", "2"},
    {"keepalives_count", "3"},
    {"tcp_user_timeout", "10000"},
    {"fallback_application_name", "vantrel"},
};

std::vector<std::string_view> SplitCommas(std::string_view text) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos) {
            return parts;
        }
        start = comma + 1;
    }
}

bool IsNumberIn(std::string_view text, long low, long high) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return value >= low && value <= high;
}

std::string PercentEncoded(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::string ConninfoValue(std::string_view value) {
    std::string out = "'";
    for (const char c : value) {
        if (c == '\'' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "'";
}

// postgresql://user@host:port,host:port/dbname, from the settings a URL gave.
std::string ServerName(const std::map<std::string, std::string>& settings) {
    const auto get = [&](const char* key) {
        const auto found = settings.find(key);
        return found == settings.end() ? std::string() : found->second;
    };
    std::string name = "postgresql://";
    if (const std::string user = get("user"); !user.empty()) {
        name += PercentEncoded(user) + "@";
    }
    const std::string hostList = get("host").empty() ? get("hostaddr") : get("host");
    const std::string portList = get("port");
    const std::vector<std::string_view> hosts = SplitCommas(hostList);
    const std::vector<std::string_view> ports = SplitCommas(portList);
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        if (i > 0) {
            name += ',';
        }
        const std::string_view host = hosts[i];
        name += host.find(':') != std::string_view::npos ? "[" + std::string(host) + "]"
                                                         : PercentEncoded(host);
        const std::string_view port = ports.size() == 1  ? ports[0]
                                      : i < ports.size() ? ports[i]
                                                         : "";
        if (!port.empty()) {
            name += ":" + std::string(port);
        }
    }
    return name + "/" + PercentEncoded(get("dbname"));
}

std::variant<RecordServer, std::string> ParseServerUrl(const std::string& url,
                                                       const std::string& source) {
    char* error = nullptr;
    std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)> options(
        PQconninfoParse(url.c_str(), &error), &PQconninfoFree);
    if (!options) {
        std::string message = error ? error : "out of memory";
        PQfreemem(error);
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
            message.pop_back();
        }
        return source + ": " + message;
    }
    std::map<std::string, std::string> settings;
    for (const PQconninfoOption* option = options.get(); option->keyword; ++option) {
        if (option->val) {
            settings[option->keyword] = option->val;
        }
    }
    if (const auto port = settings.find("port"); port != settings.end()) {
        for (const std::string_view part : SplitCommas(port->second)) {
            if (!part.empty() && !IsNumberIn(part, 1, 65535)) {
                return source + ": invalid port \"" + std::string(part) + "\" in the URL";
            }
        }
    }
    if (const auto timeout = settings.find("connect_timeout"); timeout != settings.end()) {
        if (!IsNumberIn(timeout->second, 0, 86400)) {
            return source + ": invalid connect_timeout \"" + timeout->second + "\" in the URL";
        }
    }
    RecordServer server;
    server.name = ServerName(settings);
    for (const auto& [key, value] : kServerDefaults) {
        settings.emplace(key, value);
    }
    for (const auto& [key, value] : settings) {
        server.conninfo += (server.conninfo.empty() ? "" : " ") + key + "=" + ConninfoValue(value);
    }
    return server;
}

// The scheme of "scheme://...", or nothing when `text` does not start so.
std::optional<std::string_view> UrlScheme(std::string_view text) {
    const std::size_t end = text.find("://");
    if (end == std::string_view::npos || end == 0) {
        return std::nullopt;
    }
    const std::string_view scheme = text.substr(0, end);
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        const char c = scheme[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && (i == 0 || !other)) {
            return std::nullopt;
        }
    }
    return scheme;
}

}  // namespace

std::variant<RecordTarget, std::string> ParseRecordTarget(std::optional<std::string_view> value,
                                                          const std::string& defaultFile,
                                                          std::string_view valueName) {
    const std::string source(valueName);
    const auto withDefaultFile =
        [&](RecordTarget target) -> std::variant<RecordTarget, std::string> {
        if (target.localFile.empty()) {
            return std::string(
                "no place for the record file: neither XDG_DATA_HOME nor HOME is set");
        }
        return target;
    };
    if (!value) {
        return withDefaultFile({defaultFile, std::nullopt});
    }
    std::string_view text = *value;
    if (text.empty()) {
        return source + ": empty value (a file, sqlite:FILE or a postgresql:// URL)";
    }
    if (const auto scheme = UrlScheme(text)) {
        if (*scheme == "postgresql" || *scheme == "postgres") {
            auto server = ParseServerUrl(std::string(text), source);
            if (auto* error = std::get_if<std::string>(&server)) {
                return *error;
            }
            return withDefaultFile({defaultFile, std::get<RecordServer>(std::move(server))});
        }
        if (*scheme != "sqlite") {
            return source + ": unknown kind of record store \"" + std::string(*scheme) +
                   "://\" (a file, sqlite:FILE or a postgresql:// URL)";
        }
    }
    if (text.starts_with("postgresql:") || text.starts_with("postgres:")) {
        return source + ": \"" + std::string(text) + "\" is not a URL: postgresql://...";
    }
    if (text.starts_with(kSqlitePrefix)) {
        text.remove_prefix(kSqlitePrefix.size());
        // sqlite:///abs/path, the URL form of sqlite:/abs/path.
        if (text.starts_with("//")) {
            text.remove_prefix(2);
        }
        if (text.empty()) {
            return source + ": sqlite: names no file";
        }
    }
    return RecordTarget{std::string(text), std::nullopt};
}

namespace {

// `xdgHome` when it is absolute, or `home` followed by `fallback`; then
// `tail`. Empty when neither is there.
std::string XdgPath(const char* xdgHome, const char* home, const char* fallback, const char* tail) {
    if (xdgHome && xdgHome[0] == '/') {
        return std::string(xdgHome) + tail;
    }
    if (home && home[0] != '\0') {
        return std::string(home) + fallback + tail;
    }
    return "";
}

// HOME, or the password database's home folder when HOME is unset.
std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] != '\0') {
        return home;
    }
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir) {
        return found->pw_dir;
    }
    return "";
}

}  // namespace

std::string DefaultRecordFile(const char* xdgDataHome, const char* home) {
    return XdgPath(xdgDataHome, home, "/.local/share", "/vantrel/records.sqlite");
}

std::string DefaultRecordFile() {
    const std::string home = HomeFolder();
    return DefaultRecordFile(std::getenv("XDG_DATA_HOME"), home.c_str());
}

std::string DefaultUnrecordedFolder(const char* xdgStateHome, const char* home) {
    return XdgPath(xdgStateHome, home, "/.local/state", "/vantrel/unrecorded");
}

std::string DefaultUnrecordedFolder() {
    const std::string home = HomeFolder();
    return DefaultUnrecordedFolder(std::getenv("XDG_STATE_HOME"), home.c_str());
}

}  // namespace vantrel
