#include "station/station_setup.h"

#include <filesystem>

#include "cli/program_version.h"
#include "cli/unit_labels.h"
#include "core/image_check.h"
#include "engine/image_file.h"
#include "platform/ini_file.h"
#include "platform/settings_lookup.h"
#include "records/unit_identity.h"
#include "station/port_devices.h"
#include "station/slot_names.h"
#include "unit/unit_template.h"

namespace vantrel {
namespace {

// Blocks the boxes send back go beside the record file, one file per unit.
std::optional<std::filesystem::path> ReadbackFolder(const std::string& recordFile,
                                                    const RecorderOptions& recording) {
    const std::filesystem::path folder =
        std::filesystem::path(recordFile).parent_path() / "readback";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        if (recording.onWarning) {
            recording.onWarning("blocks from the boxes cannot be kept: " + folder.string() + ": " +
                                error.message());
        }
        return std::nullopt;
    }
    return folder;
}

}  // namespace

std::variant<StationSetup, std::string> PrepareStation(const StationOptions& options,
                                                       RecorderOptions recording) {
    StationSetup setup;
    auto checked = CheckImageFile(options.image, options.expectedSha256);
    if (auto* refusal = std::get_if<std::string>(&checked)) {
        return std::move(*refusal);
    }
    const CheckedImage image = std::get<CheckedImage>(checked);
    setup.image = {std::filesystem::absolute(options.image).string(),
                   std::string(FindImageKind(image.kind)->headerText), image.sha256,
                   options.expectedSha256.has_value()};

    CIniFile settings;
    settings.SetPath(LookUpSettingsFile().path);
    auto labels = ReadUnitLabels(settings, options.labels, StationHostName());
    if (auto* error = std::get_if<std::string>(&labels)) {
        return std::move(*error);
    }
    setup.labels = std::get<UnitLabels>(labels);
    const auto devices = ResolvePortDevices(options.ports, settings);
    if (auto shared = FindSharedDevice(options.ports, devices)) {
        return std::move(*shared);
    }
    std::vector<StationPortArg> ports = options.ports;
    if (auto wrong = NameSlots(ports, devices, settings)) {
        return std::move(*wrong);
    }

    std::string localFile = DefaultRecordFile();
    if (!options.noRecord) {
        auto target = ParseRecordTarget(options.recordUrl, localFile);
        if (auto* error = std::get_if<std::string>(&target)) {
            return std::move(*error);
        }
        setup.recordTarget = std::get<RecordTarget>(target);
        localFile = setup.recordTarget.localFile;
        auto opened = UnitRecorder::Open(setup.recordTarget, recording);
        if (auto* error = std::get_if<std::string>(&opened)) {
            return std::move(*error);
        }
        setup.recorder = std::move(std::get<std::unique_ptr<UnitRecorder>>(opened));
    }
    if (localFile.empty()) {
        return "no home folder for the record file: give --record PATH";
    }
    const auto readbackFolder = ReadbackFolder(localFile, recording);

    UnitRecord unitTemplate = UnitTemplate(setup.labels, VersionText());
    unitTemplate.imagePath = setup.image.path;
    unitTemplate.imageSha256 = setup.image.sha256;
    unitTemplate.imageKind = setup.image.kind;

    setup.config.loop = options.loop;
    for (const auto& port : ports) {
        PortRunnerConfig runner;
        runner.label = port.label;
        runner.portNumber = port.portNumber;
        runner.device = GivenDeviceOf(port);
        runner.image = ImageChoice::Of(options.image, image.kind);
        runner.timeoutSeconds = options.timeoutSeconds;
        runner.readbackDir = readbackFolder;
        runner.unitTemplate = unitTemplate;
        runner.pinnedSha256 = setup.image.sha256;
        setup.config.ports.push_back(std::move(runner));
    }
    return setup;
}

}  // namespace vantrel
