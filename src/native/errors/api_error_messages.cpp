#include <string>
#include <unordered_map>

#include "errors/api_result.h"

namespace nuvrel {
namespace {

const std::unordered_map<KSResult_enum, std::string> apiErrorMessages = {
    {KSResult_enum(0x0000), "Success (no error)"},
    {KSResult_enum(0x4000), "Warning (general)"},
    {KSResult_enum(0x4001), "FIFO underrun"},
    {KSResult_enum(0x4002), "FIFO overflow"},
    {KSResult_enum(0x4003), "Value or node not found"},
    {KSResult_enum(0x4005), "Keyword could not be resolved"},
    {KSResult_enum(0x8000), "Error (general)"},
    {KSResult_enum(0x8001), "USB communication failed"},
    {KSResult_enum(0x8002), "Memory allocation failed"},
    {KSResult_enum(0x8003), "Unable to initialize mutex"},
    {KSResult_enum(0x8004), "Unable to destroy mutex"},
    {KSResult_enum(0x8005), "Unable to lock mutex"},
    {KSResult_enum(0x8006), "Unable to unlock mutex"},
    {KSResult_enum(0x8007), "Unable to start thread"},
    {KSResult_enum(0x8008), "Unable to join thread"},
    {KSResult_enum(0x8009), "Unable to initialize socket"},
    {KSResult_enum(0x800a), "Unable to connect to socket"},
    {KSResult_enum(0x800b), "Hostname not found"},
    {KSResult_enum(0x800c), "Connection invalid"},
    {KSResult_enum(0x800d), "Command timed out"},
    {KSResult_enum(0x800e), "Command failed internally"},
    {KSResult_enum(0x800f), "Command failed on the server"},
    {KSResult_enum(0x8010), "Provided buffer is too small"},
    {KSResult_enum(0x8011), "Unable to open file or read from it"},
    {KSResult_enum(0x8012), "There is already a similar item"},
    {KSResult_enum(0x8013), "Attempt to set a read-only node"},
    {KSResult_enum(0x8014), "Device is not visible to the server"},
    {KSResult_enum(0x8015), "Device is already connected to a different server"},
    {KSResult_enum(0x8016), "Device does not support the specified interface"},
    {KSResult_enum(0x8017), "Device connection attempt timed out"},
    {KSResult_enum(0x8018), "Device already connected over a different interface"},
    {KSResult_enum(0x8019), "Device needs a firmware upgrade"},
    {KSResult_enum(0x801a),
     "Data type mismatch. Trying to get data from a poll event with wrong target data type"},
    {KSResult_enum(0x801b), "Device not found"},
    {KSResult_enum(0x801c),
     "Command or provided arguments combination is not supported within this context"},
    {KSResult_enum(0x801d),
     "The maximum number of allowed simultaneous sessions (32) exceeded. Ensure unused "
     "sessions are closed"},
    {KSResult_enum(0x801e), "This functionality is not supported on Q7R devices"},
    {KSResult_enum(0x801f), "Invalid argument received"},
    {KSResult_enum(0x8020), "Attempt to get a write-only node"},
    {KSResult_enum(0x9000),
     "An error occurred on the device, but the error code was not provided. Please report"},
    {KSResult_enum(0x9001), "Requested block address does not belong to any known aperture"},
    {KSResult_enum(0x9002),
     "Requested block address belongs to an aperture, but the offset is above the active range"},
    {KSResult_enum(0x9003),
     "Requested block address belongs to an aperture, but the offset+length is above the "
     "active range"},
    {KSResult_enum(0x9004), "Write access attempted to a read-only aperture or a read-only node"},
    {KSResult_enum(0x9005),
     "Access to the requested register cannot be handled by the firmware (firmware "
     "configuration error)"},
    {KSResult_enum(0x9006), "Number of indices requested on a non-indexed vector node"},
    {KSResult_enum(0x9007), "Vector transfer header error: received less data than the header size"},
    {KSResult_enum(0x9008),
     "Vector transfer header error: indicated frame index is greater than the indicated frame "
     "count"},
    {KSResult_enum(0x9009),
     "Vector transfer header error: the indicated offset and payload length exceeds the "
     "indicated overall length"},
    {KSResult_enum(0x900a),
     "Vector transfer header error: the indicated number of extra words exceeds the indicated "
     "overall length"},
    {KSResult_enum(0x900b),
     "Received out-of-sequence frame (may never be reported if we keep the agreement, that the "
     "entire vector transfer has to be ACKed in case its first frame was ACKed)"},
    {KSResult_enum(0x900c),
     "Vector transfer error: accessing indexed element outside the current active range"},
    {KSResult_enum(0x900d), "Vector transfer error: data have different type than expected"},
    {KSResult_enum(0x900e), "Vector transfer error: data have different length than expected"},
    {KSResult_enum(0x900f), "Vector transfer error: data have different extra length than expected"},
    {KSResult_enum(0x9010), "Command timed out (nack)"},
    {KSResult_enum(0x9011), "The accessed resource is not active (should not be needed)"},
    {KSResult_enum(0x9012), "The accessed resource is busy"},
    {KSResult_enum(0x9013), "The requested action could not be executed for an unknown reason"},
    {KSResult_enum(0x9014),
     "The requested vector read could not be started as there was not enough space in the "
     "intermediate queue"},
    {KSResult_enum(0x9015), "The device is busy processing the current request"},
    {KSResult_enum(0x9016), "The value supplied was adjusted by the device to a closest supported one"},
    {KSResult_enum(0x9017), "Upload has been canceled"},
    {KSResult_enum(0x9101),
     "An error occurred on the device, but the error code was not provided. Please report"},
    {KSResult_enum(0x9102), "Too many pending downstream blocks - should not result in error, please report"},
    {KSResult_enum(0x9103), "An unknown error occurred on the device, please report"},
};

const std::string unknownErrorCode = "Unknown error code";

}  // namespace

const std::string& getApiErrorMessage(KSResult_enum code) noexcept {
  const auto it = apiErrorMessages.find(code);
  return it == apiErrorMessages.end() ? unknownErrorCode : it->second;
}

std::size_t apiErrorMessageCount() noexcept { return apiErrorMessages.size(); }

}  // namespace nuvrel
