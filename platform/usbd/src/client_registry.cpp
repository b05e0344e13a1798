#include "client_registry.h"

#include <algorithm>
#include <cstring>

#include "settings_match.h"
#include "wide_text.h"

namespace usbhost {
namespace {

bool SameSettings(const USB_DRIVER_SETTINGS& a, const USB_DRIVER_SETTINGS& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameKey(const std::optional<std::u16string>& a, const std::optional<std::u16string>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || WideEqualNoCase(*a, *b);
}

}  // namespace

bool ClientRegistry::KnowsDriverId(std::u16string_view driverId) const {
  return std::ranges::any_of(driverIds_, [&](const std::u16string& id) { return WideEqualNoCase(id, driverId); });
}

DWORD ClientRegistry::AddDriverId(std::u16string_view driverId) {
  if (driverId.empty()) return ERROR_INVALID_PARAMETER;
  std::lock_guard lock(mutex_);
  if (!KnowsDriverId(driverId)) driverIds_.emplace_back(driverId);
  return ERROR_SUCCESS;
}

DWORD ClientRegistry::RemoveDriverId(std::u16string_view driverId) {
  if (driverId.empty()) return ERROR_INVALID_PARAMETER;
  std::lock_guard lock(mutex_);
  if (!KnowsDriverId(driverId)) return ERROR_FILE_NOT_FOUND;
  std::erase_if(driverIds_, [&](const std::u16string& id) { return WideEqualNoCase(id, driverId); });
  std::erase_if(registrations_, [&](const auto& entry) { return WideEqualNoCase(entry->driverId, driverId); });
  return ERROR_SUCCESS;
}

DWORD ClientRegistry::AddSettings(ClientRegistration registration) {
  if (registration.libraryFile.empty() || registration.driverId.empty() ||
      registration.settings.dwCount != sizeof(USB_DRIVER_SETTINGS)) {
    return ERROR_INVALID_PARAMETER;
  }
  std::lock_guard lock(mutex_);
  if (!KnowsDriverId(registration.driverId)) return ERROR_FILE_NOT_FOUND;
  auto entry = std::make_shared<const ClientRegistration>(std::move(registration));
  auto same = std::ranges::find_if(registrations_, [&](const auto& old) {
    return WideEqualNoCase(old->driverId, entry->driverId) && SameKey(old->key, entry->key) &&
           SameSettings(old->settings, entry->settings);
  });
  if (same != registrations_.end()) {
    *same = std::move(entry);
  } else {
    registrations_.push_back(std::move(entry));
  }
  return ERROR_SUCCESS;
}

DWORD ClientRegistry::RemoveSettings(std::u16string_view driverId, const std::optional<std::u16string>& key,
                                     const USB_DRIVER_SETTINGS& settings) {
  if (driverId.empty()) return ERROR_INVALID_PARAMETER;
  std::lock_guard lock(mutex_);
  const auto removed = std::erase_if(registrations_, [&](const auto& entry) {
    return WideEqualNoCase(entry->driverId, driverId) && SameKey(entry->key, key) &&
           SameSettings(entry->settings, settings);
  });
  return removed > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

std::vector<ClientOffer> ClientRegistry::OffersFor(const DeviceModel& model) const {
  std::vector<ClientOffer> offers;
  {
    std::lock_guard lock(mutex_);
    for (const auto& entry : registrations_) {
      const SettingsMatch match = MatchSettings(entry->settings, model);
      if (match.matches) offers.push_back({entry, match.interfaceNumber});
    }
  }
  std::ranges::stable_sort(offers, std::greater{},
                           [](const ClientOffer& offer) { return SettingsSpecificity(offer.registration->settings); });
  return offers;
}

ClientRegistry& Clients() {
  // Never destroyed: client threads may still reach it while the process exits.
  static auto* registry = new ClientRegistry;
  return *registry;
}

}  // namespace usbhost
