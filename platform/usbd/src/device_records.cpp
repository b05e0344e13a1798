#include "device_records.h"

#include <algorithm>
#include <limits>

namespace usbhost {
namespace {

template <class Count, class Container>
Count ClampedCount(const Container& items) {
  return static_cast<Count>(std::min<size_t>(items.size(), std::numeric_limits<Count>::max()));
}

}  // namespace

DeviceRecords::DeviceRecords(const DeviceModel& model) {
  // A client walks bNumEndpoints entries, so the count always comes from what is stored
  // (at most 255), never from a model that might disagree with its own list.
  endpoints_.reserve(model.interfaces.size());
  interfaces_.reserve(model.interfaces.size());
  size_t descriptorBytes = sizeof(USB_CONFIGURATION_DESCRIPTOR);
  for (const InterfaceModel& source : model.interfaces) {
    const size_t endpointCount = ClampedCount<BYTE>(source.endpoints);
    auto& endpoints = endpoints_.emplace_back();
    endpoints.reserve(endpointCount);
    for (size_t i = 0; i < endpointCount; ++i) {
      endpoints.push_back(USB_ENDPOINT{sizeof(USB_ENDPOINT), source.endpoints[i], nullptr});
    }
    USB_INTERFACE record{sizeof(USB_INTERFACE), source.descriptor, nullptr, endpoints.data()};
    record.Descriptor.bNumEndpoints = static_cast<BYTE>(endpointCount);
    interfaces_.push_back(record);
    descriptorBytes += sizeof(USB_INTERFACE_DESCRIPTOR) + endpointCount * sizeof(USB_ENDPOINT_DESCRIPTOR);
  }

  configuration_.dwCount = sizeof(USB_CONFIGURATION);
  configuration_.Descriptor = model.configuration;
  configuration_.Descriptor.wTotalLength =
      static_cast<WORD>(std::min<size_t>(descriptorBytes, std::numeric_limits<WORD>::max()));
  configuration_.dwNumInterfaces = static_cast<DWORD>(interfaces_.size());
  configuration_.lpInterfaces = interfaces_.data();

  device_.dwCount = sizeof(USB_DEVICE);
  device_.Descriptor = model.device;
  device_.lpConfigs = &configuration_;
  device_.lpActiveConfig = &configuration_;
}

LPCUSB_INTERFACE DeviceRecords::Find(UCHAR interfaceNumber, UCHAR alternateSetting) const {
  for (const USB_INTERFACE& record : interfaces_) {
    if (record.Descriptor.bInterfaceNumber == interfaceNumber &&
        record.Descriptor.bAlternateSetting == alternateSetting) {
      return &record;
    }
  }
  return nullptr;
}

const USB_ENDPOINT_DESCRIPTOR* DeviceRecords::FindEndpoint(BYTE endpointAddress) const {
  for (const auto& endpoints : endpoints_) {
    for (const USB_ENDPOINT& endpoint : endpoints) {
      if (endpoint.Descriptor.bEndpointAddress == endpointAddress) return &endpoint.Descriptor;
    }
  }
  return nullptr;
}

}  // namespace usbhost
