#include "ui/UnrecognisedDisks.h"

#include "device/DriveRecord.h"
#include "discovery/Scan.h"
#include "platform/Storage.h"

using namespace platform;

namespace {

constexpr uint32_t InterfaceCount = 32;
constexpr unsigned MaximumParentSteps = 12;
constexpr uint32_t DetailBufferSize = 1024;
constexpr uint32_t PropertyBufferSize = 2048;

// Disks of a kind nobody asks about: card readers, flash sticks, printers' and cameras' storage,
// virtual and RAM disks.
const char* const KnownDiskPrefixes[] = {
    "\\\\?\\usbstor#disk&ven_&prod_usb_disk",
    "\\\\?\\usbstor#disk&ven_generic",
    "\\\\?\\usbstor#disk&ven_multi",
    "\\\\?\\usbstor#disk&ven_usb",
    "\\\\?\\usbstor#disk&ven_mass&prod_storage_device&",
    "\\\\?\\scsi#disk&ven_msft&prod_virtual_disk#",
    "\\\\?\\usbstor#disk&ven_sony&prod_usb___hs",
    "\\\\?\\usbstor#disk&ven_epson&prod_storage&",
    "\\\\?\\usbstor#disk&ven_apple&prod_sd_card_reader&",
    "\\\\?\\usbstor#disk&ven_lexar&prod_usb_flash_drive&",
    "\\\\?\\risdptsk#disk&ven_ricoh&prod_sd#",
    "\\\\?\\usbstor#disk&ven_smi&prod___reader&",
    "\\\\?\\mpio#disk&ven_baum",
    "\\\\?\\usbstor#disk&ven_ts-rdf8&prod_",
    "\\\\?\\usbstor#disk&ven_&prod_usb_flash_drive&",
    "\\\\?\\usbstor#disk&ven_flash&prod_usb_disk&",
    "\\\\?\\scsi#disk&ven_amd-raid&",
    "\\\\?\\rimspci#disk&ven_ricoh&prod_memorystickstorage&",
    "\\\\?\\root#dataram_ramdisk_devices#",
    "\\\\?\\scsi#disk&ven_ricoh&prod_sd#",
    "\\\\?\\usbstor#disk&ven_anyka&prod_mmc_disk&",
    "\\\\?\\usbstor#disk&ven_aft_pro&prod_-8mx",
    "\\\\?\\scsi#disk&ven_&prod_sd_#",
    "\\\\?\\usbstor#disk&ven_jetflash&",
    "\\\\?\\scsi#disk&ven_&prod_sdxc_#",
    "\\\\?\\scsi#disk&ven_starwind&prod_ram_disk",
    "\\\\?\\sd#disk&",
    "\\\\?\\scsi#disk&ven_arsenal&prod_virtual#",
    "\\\\?\\pcistor#disk&ven_rsper&prod_rts5208lun0&",
    "\\\\?\\pcistor#disk&ven_rsp2stor&prod_rts5208lun0&",
    "\\\\?\\acronisvbus#virtualdisk#",
    "\\\\?\\usbstor#disk&ven_&prod_multi-reader",
    "\\\\?\\usbstor#disk&ven_adata&prod_usb_flash_drive&",
    "\\\\?\\usbstor#disk&ven_chipsbnk&prod_flash_disk&",
    "\\\\?\\usbstor#disk&ven_general&prod_usb_flash_disk&",
    "\\\\?\\usbstor#disk&ven_demo&prod_mmc_storage&",
    "\\\\?\\usbstor#disk&ven_chipsbnk&prod___multi-reader&",
    "\\\\?\\usbstor#disk&ven_hp&prod_photosmart",
    "\\\\?\\usbstor#disk&ven_hp&prod_officejet",
    "\\\\?\\usbstor#disk&ven_epson&prod_stylus_storage&",
    "\\\\?\\usbstor#disk&ven_canon&prod_mg6400_series&",
    "\\\\?\\usbstor#disk&ven_nand&prod_usb2disk&",
    "\\\\?\\usbstor#disk&ven_storejet&",
    "\\\\?\\usbstor#disk&ven_kingston&prod_datatraveler",
    "\\\\?\\usbstor#disk&ven_mvsi&prod_usb_card_reader&",
    "\\\\?\\scsi#disk&ven_&prod_sdhc_#",
    "\\\\?\\usbstor#disk&ven_genesys&prod_sd__usb_reader&",
    "\\\\?\\rimmptsk#disk&ven_ricoh&prod_mmcstorage&",
    "\\\\?\\usbstor#disk&ven_general&prod_usb_disk&",
};
static_assert(sizeof KnownDiskPrefixes / sizeof KnownDiskPrefixes[0] == 49, "the table of known disks");

// Byte for byte over the prefix's length: the case of a path's letters matters.
bool IsKnownDisk(const std::string& path) {
    for (const char* prefix : KnownDiskPrefixes)
        if (path.compare(0, std::char_traits<char>::length(prefix), prefix) == 0) return true;
    return false;
}

bool IsInDriveTable(const std::string& path) {
    for (unsigned i = 0; i < DriveCount(); ++i)
        if (DriveReader(i)->DevicePath == path) return true;
    return false;
}

bool ReadText(DevInfoSet set, const DevInfoData& element, const DevPropKey& key, std::string& text) {
    std::vector<uint8_t> value;
    uint32_t type = 0;
    if (!SetupDiGetDeviceProperty(set, element, key, PropertyBufferSize, value, type)) return false;
    text = PropertyText(value);
    return true;
}

// The description of the first PCI device at or above the disk, within twelve steps; false when the
// tree ends or breaks before one.
bool ControllerDescription(DevInfoSet set, DevInfoData element, std::string& description) {
    for (unsigned step = 0; step < MaximumParentSteps; ++step) {
        std::string enumerator, parent;
        if (ReadText(set, element, DEVPKEY_Device_EnumeratorName, enumerator) && enumerator == "PCI")
            return ReadText(set, element, DEVPKEY_Device_DriverDesc, description);
        if (!ReadText(set, element, DEVPKEY_Device_Parent, parent) || !SetupDiOpenDeviceInfo(set, parent, element))
            return false;
    }
    return false;
}

}  // namespace

std::vector<std::string> UnrecognisedDiskLines() {
    std::vector<std::string> lines;
    const OwnedDevInfoSet set(SetupDiGetClassDevs(GUID_DEVINTERFACE_DISK));
    if (set == INVALID_DEVINFO_SET) return lines;
    for (uint32_t index = 0; index < InterfaceCount; ++index) {
        DeviceInterfaceData interfaceData{};
        std::string path;
        DevInfoData element{};
        if (!SetupDiEnumDeviceInterfaces(set, GUID_DEVINTERFACE_DISK, index, interfaceData) ||
            !SetupDiGetDeviceInterfaceDetail(set, interfaceData, DetailBufferSize, path, element) ||
            IsInDriveTable(path) || IsKnownDisk(path))
            continue;
        if (lines.empty()) lines.push_back("");
        lines.push_back(path);
        std::string description;
        if (ControllerDescription(set, element, description)) lines.push_back(description);
    }
    return lines;
}
