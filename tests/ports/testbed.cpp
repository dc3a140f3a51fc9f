#include "tests/ports/testbed.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;

std::string TakeString(gchar* owned) {
    std::string value = owned != nullptr ? owned : "";
    g_free(owned);
    return value;
}

}  // namespace

bool UnderUmockdevPreload() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload != nullptr && std::strstr(preload, "libumockdev-preload") != nullptr;
}

Testbed::Testbed()
    : m_bed(umockdev_testbed_new()), m_root(TakeString(umockdev_testbed_get_root_dir(m_bed))) {
    // Empty link directories hide any real ones behind the bed's /dev.
    fs::create_directories(m_root + "/dev/serial/by-id");
    fs::create_directories(m_root + "/dev/serial/by-path");
}

Testbed::~Testbed() {
    g_object_unref(m_bed);
}

bool Testbed::Load(const std::string& name) {
    std::ifstream file(fs::path(VANTREL_PORTS_DEVICES_DIR) / name);
    if (!file) {
        std::cerr << "no device file " << name << "\n";
        return false;
    }
    std::string description;
    for (std::string line; std::getline(file, line);) {
        if (line.rfind('#', 0) != 0) {
            description += line + "\n";
        }
    }
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(m_bed, description.c_str(), &error)) {
        std::cerr << name << ": " << (error != nullptr ? error->message : "not loaded") << "\n";
        g_clear_error(&error);
        return false;
    }
    return true;
}

void Testbed::AddDevLink(const std::string& link, const std::string& target) {
    const fs::path at = fs::path(m_root) / "dev" / link;
    fs::create_directories(at.parent_path());
    fs::create_symlink(fs::path(target).lexically_relative(fs::path(link).parent_path()), at);
}

void Testbed::SetAttribute(const std::string& devpath, const std::string& name,
                           const std::string& value) {
    umockdev_testbed_set_attribute(m_bed, ("/sys" + devpath).c_str(), name.c_str(), value.c_str());
}

}  // namespace vantrel::test
