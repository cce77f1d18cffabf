#include "Readers.h"

namespace profiler {

const std::vector<DataType>& dataTypes() {
  static const std::vector<DataType> kTypes = {
      {"SPApplicationsDataType", "SPSoftwareDataType", readApplications},
      {"SPBluetoothDataType", "SPHardwareDataType", readBluetooth},
      {"SPCardReaderDataType", "SPHardwareDataType", readCardReaders},
      {"SPDiagnosticsDataType", "SPHardwareDataType", readDiagnostics},
      {"SPDiscBurningDataType", "SPHardwareDataType", readDiscBurning},
      {"SPDisplaysDataType", "SPHardwareDataType", readDisplays},
      {"SPEthernetDataType", "SPHardwareDataType", readEthernet},
      {"SPFirewallDataType", "SPNetworkDataType", readFirewall},
      {"SPHardwareDataType", "SPRootDataType", readHardware},
      {"SPMemoryDataType", "SPHardwareDataType", readMemory},
      {"SPNetworkDataType", "SPRootDataType", readNetwork},
      {"SPNetworkLocationDataType", "SPNetworkDataType", readNetworkLocations},
      {"SPNetworkVolumeDataType", "SPNetworkDataType", readNetworkVolumes},
      {"SPPowerDataType", "SPHardwareDataType", readPower},
      {"SPSerialATADataType", "SPHardwareDataType", readSerialATA},
      {"SPSoftwareDataType", "SPRootDataType", readSoftware},
      {"SPThunderboltDataType", "SPHardwareDataType", readThunderbolt},
      {"SPUSBDataType", "SPHardwareDataType", readUSB},
  };
  return kTypes;
}

const DataType* findDataType(const std::string& name) {
  for (const auto& type : dataTypes())
    if (name == type.name) return &type;
  return nullptr;
}

std::string reportXml(const DataType& type, const SystemRoot& root) {
  Node document = profilerDocument(type.name, type.parent, type.read(root), root.now());
  return toXml(document.get());
}

}  // namespace profiler
