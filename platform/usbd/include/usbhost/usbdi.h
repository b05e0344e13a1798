// The USB driver interface (USBD) as a client driver sees it: descriptor records in the
// USB 2.0 layouts, the registration functions exported through "usbd.dll", and the
// function table handed to USBDeviceAttach.
//
// USB_HANDLE, USB_PIPE and USB_TRANSFER are opaque ids, not pointers: a stale one (after
// unplug or close) fails cleanly. IssueIsochTransfer may throw a C++ exception when the
// device faults inside the transfer; callers that must survive it catch it.
#pragma once

#include "platform/wintypes.h"

#pragma pack(push, 1)
struct USB_DEVICE_DESCRIPTOR {
  BYTE bLength;
  BYTE bDescriptorType;
  WORD bcdUSB;
  BYTE bDeviceClass;
  BYTE bDeviceSubClass;
  BYTE bDeviceProtocol;
  BYTE bMaxPacketSize0;
  WORD idVendor;
  WORD idProduct;
  WORD bcdDevice;
  BYTE iManufacturer;
  BYTE iProduct;
  BYTE iSerialNumber;
  BYTE bNumConfigurations;
};

struct USB_CONFIGURATION_DESCRIPTOR {
  BYTE bLength;
  BYTE bDescriptorType;
  WORD wTotalLength;
  BYTE bNumInterfaces;
  BYTE bConfigurationValue;
  BYTE iConfiguration;
  BYTE bmAttributes;
  BYTE MaxPower;
};

struct USB_INTERFACE_DESCRIPTOR {
  BYTE bLength;
  BYTE bDescriptorType;
  BYTE bInterfaceNumber;
  BYTE bAlternateSetting;
  BYTE bNumEndpoints;
  BYTE bInterfaceClass;
  BYTE bInterfaceSubClass;
  BYTE bInterfaceProtocol;
  BYTE iInterface;
};

struct USB_ENDPOINT_DESCRIPTOR {
  BYTE bLength;
  BYTE bDescriptorType;
  BYTE bEndpointAddress;
  BYTE bmAttributes;
  WORD wMaxPacketSize;
  BYTE bInterval;
};

// The standard 8-byte setup packet.
struct USB_DEVICE_REQUEST {
  BYTE bmRequestType;
  BYTE bRequest;
  WORD wValue;
  WORD wIndex;
  WORD wLength;
};
#pragma pack(pop)

static_assert(sizeof(USB_DEVICE_DESCRIPTOR) == 18);
static_assert(sizeof(USB_CONFIGURATION_DESCRIPTOR) == 9);
static_assert(sizeof(USB_INTERFACE_DESCRIPTOR) == 9);
static_assert(sizeof(USB_ENDPOINT_DESCRIPTOR) == 7);
static_assert(sizeof(USB_DEVICE_REQUEST) == 8);

#define USB_DEVICE_DESCRIPTOR_TYPE 1
#define USB_CONFIGURATION_DESCRIPTOR_TYPE 2
#define USB_INTERFACE_DESCRIPTOR_TYPE 4
#define USB_ENDPOINT_DESCRIPTOR_TYPE 5

#define USB_ENDPOINT_DIRECTION_MASK 0x80
#define USB_ENDPOINT_TYPE_MASK 0x03
#define USB_ENDPOINT_TYPE_ISOCHRONOUS 0x01

struct USB_ENDPOINT {
  DWORD dwCount;
  USB_ENDPOINT_DESCRIPTOR Descriptor;
  LPBYTE lpbExtended;
};
using LPCUSB_ENDPOINT = const USB_ENDPOINT*;
using LPCUSB_ENDPOINT_DESCRIPTOR = const USB_ENDPOINT_DESCRIPTOR*;

struct USB_INTERFACE {
  DWORD dwCount;
  USB_INTERFACE_DESCRIPTOR Descriptor;
  LPBYTE lpbExtended;
  LPCUSB_ENDPOINT lpEndpoints;  // Descriptor.bNumEndpoints entries
};
using LPCUSB_INTERFACE = const USB_INTERFACE*;

struct USB_CONFIGURATION {
  DWORD dwCount;
  USB_CONFIGURATION_DESCRIPTOR Descriptor;
  LPBYTE lpbExtended;
  DWORD dwNumInterfaces;  // every (interface, alternate setting) pair
  LPCUSB_INTERFACE lpInterfaces;
};
using LPCUSB_CONFIGURATION = const USB_CONFIGURATION*;

struct USB_DEVICE {
  DWORD dwCount;
  USB_DEVICE_DESCRIPTOR Descriptor;
  LPCUSB_CONFIGURATION lpConfigs;
  LPCUSB_CONFIGURATION lpActiveConfig;
};
using LPCUSB_DEVICE = const USB_DEVICE*;

// Ten 32-bit fields; USB_NO_INFO matches any value.
struct USB_DRIVER_SETTINGS {
  DWORD dwCount;
  DWORD dwVendorId;
  DWORD dwProductId;
  DWORD dwReleaseNumber;
  DWORD dwDeviceClass;
  DWORD dwDeviceSubClass;
  DWORD dwDeviceProtocol;
  DWORD dwInterfaceClass;
  DWORD dwInterfaceSubClass;
  DWORD dwInterfaceProtocol;
};
using LPCUSB_DRIVER_SETTINGS = const USB_DRIVER_SETTINGS*;
#define USB_NO_INFO 0xFFFFFFFFu

struct USB_HANDLE__;
struct USB_PIPE__;
struct USB_TRANSFER__;
using USB_HANDLE = USB_HANDLE__*;
using USB_PIPE = USB_PIPE__*;
using USB_TRANSFER = USB_TRANSFER__*;

// Transfer flags.
#define USB_IN_TRANSFER 0x00000080u
#define USB_NO_WAIT 0x00000100u
#define USB_SHORT_TRANSFER_OK 0x00000200u
#define USB_START_ISOCH_ASAP 0x00000400u
#define USB_COMPRESS_ISOCH 0x00000800u

// USB error codes reported by GetTransferStatus.
#define USB_NO_ERROR 0x00u
#define USB_STALL_ERROR 0x04u
#define USB_DEVICE_NOT_RESPONDING_ERROR 0x05u
#define USB_NOT_COMPLETE_ERROR 0x101u
#define USB_CANCELED_ERROR 0x102u

// Notification codes.
#define USB_CLOSE_DEVICE 1u

using LPTRANSFER_NOTIFY_ROUTINE = DWORD (*)(LPVOID notifyParameter);
using LPDEVICE_NOTIFY_ROUTINE = BOOL (*)(LPVOID notifyParameter, DWORD code, LPDWORD* info1, LPDWORD* info2,
                                         LPDWORD* info3, LPDWORD* info4);

using LPGET_DEVICE_INFO = LPCUSB_DEVICE (*)(USB_HANDLE device);
using LPFIND_INTERFACE = LPCUSB_INTERFACE (*)(LPCUSB_DEVICE device, UCHAR interfaceNumber, UCHAR alternateSetting);
using LPSET_INTERFACE = USB_TRANSFER (*)(USB_HANDLE device, LPTRANSFER_NOTIFY_ROUTINE routine, LPVOID context,
                                         DWORD flags, UCHAR interfaceNumber, UCHAR alternateSetting);
using LPOPEN_PIPE = USB_PIPE (*)(USB_HANDLE device, LPCUSB_ENDPOINT_DESCRIPTOR endpoint);
using LPRESET_PIPE = BOOL (*)(USB_PIPE pipe);
using LPCLOSE_PIPE = BOOL (*)(USB_PIPE pipe);
using LPISSUE_VENDOR_TRANSFER = USB_TRANSFER (*)(USB_HANDLE device, LPTRANSFER_NOTIFY_ROUTINE routine, LPVOID context,
                                                 DWORD flags, const USB_DEVICE_REQUEST* setup, LPVOID buffer,
                                                 ULONG physicalAddress);
using LPGET_TRANSFER_STATUS = BOOL (*)(USB_TRANSFER transfer, LPDWORD bytesTransferred, LPDWORD usbError);
// Without a routine it returns when the transfer is complete; frame i lands at
// buffer + (sum of lengths[0..i-1]).
using LPISSUE_ISOCH_TRANSFER = USB_TRANSFER (*)(USB_PIPE pipe, LPTRANSFER_NOTIFY_ROUTINE routine, LPVOID context,
                                                DWORD flags, DWORD startingFrame, DWORD frames, LPCDWORD lengths,
                                                LPVOID buffer, ULONG physicalAddress);
using LPGET_ISOCH_RESULTS = BOOL (*)(USB_TRANSFER transfer, DWORD frames, LPDWORD lengths, LPDWORD errors);
using LPCLOSE_TRANSFER = BOOL (*)(USB_TRANSFER transfer);  // also on a transfer still pending
using LPREGISTER_NOTIFICATION_ROUTINE = BOOL (*)(USB_HANDLE device, LPDEVICE_NOTIFY_ROUTINE routine, LPVOID parameter);

struct USB_FUNCS {
  DWORD dwCount;  // sizeof(USB_FUNCS)
  LPGET_DEVICE_INFO GetDeviceInfo;
  LPFIND_INTERFACE FindInterface;
  LPSET_INTERFACE SetInterface;
  LPOPEN_PIPE OpenPipe;
  LPRESET_PIPE ResetPipe;
  LPCLOSE_PIPE ClosePipe;
  LPISSUE_VENDOR_TRANSFER IssueVendorTransfer;
  LPGET_TRANSFER_STATUS GetTransferStatus;
  LPISSUE_ISOCH_TRANSFER IssueIsochTransfer;
  LPGET_ISOCH_RESULTS GetIsochResults;
  LPCLOSE_TRANSFER CloseTransfer;
  LPREGISTER_NOTIFICATION_ROUTINE RegisterNotificationRoutine;
};
using LPCUSB_FUNCS = const USB_FUNCS*;

// Registration functions, reached by the client driver through
// GetProcAddressW(LoadLibraryW(u"usbd.dll"), u"RegisterClientDriverID") and so on.
using LPREGISTER_CLIENT_DRIVER_ID = BOOL (*)(LPCWSTR uniqueDriverId);
using LPUN_REGISTER_CLIENT_DRIVER_ID = BOOL (*)(LPCWSTR uniqueDriverId);
using LPREGISTER_CLIENT_SETTINGS = BOOL (*)(LPCWSTR driverLibraryFile, LPCWSTR uniqueDriverId, LPCWSTR key,
                                            LPCUSB_DRIVER_SETTINGS settings);
using LPUN_REGISTER_CLIENT_SETTINGS = BOOL (*)(LPCWSTR uniqueDriverId, LPCWSTR key, LPCUSB_DRIVER_SETTINGS settings);

// Client driver entry points the host looks up by name in the driver's library.
using LPUSB_INSTALL_DRIVER = BOOL (*)(LPCWSTR driverLibraryFile);
using LPUSB_UNINSTALL_DRIVER = BOOL (*)();
using LPUSB_DEVICE_ATTACH = BOOL (*)(USB_HANDLE device, LPCUSB_FUNCS funcs, LPCUSB_INTERFACE interface,
                                     LPCWSTR uniqueDriverId, LPBOOL acceptControl, LPCUSB_DRIVER_SETTINGS settings,
                                     DWORD reserved);
