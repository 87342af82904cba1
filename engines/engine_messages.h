#pragma once

// The unzip engine's refusals, told in the component's numbered Korean messages.
#include <zip.h>

#include <cstdint>
#include <string>

namespace tk::engine {

enum MessageId : int {
    kMsgDuplicateName = 10507,
    kMsgUnsupportedMethod = 10508,
    kMsgDamagedMember = 10509,
    kMsgCrcError = 10510,
    kMsgInconsistent = 10511,
    kMsgUnsupportedEncryption = 10512,
    kMsgUnsafeName = 10513,
    kMsgSpecialFile = 10514,
    kMsgFolderInTheWay = 10515,
    kMsgCannotWrite = 10516,
    kMsgAltered = 10517,
    kMsgWrongPassword = 10518,
    kMsgBaseFolder = 10519,
};

// The text of message id with detail joined to it.
std::string componentMessage(int id, const std::string& detail = {});
// The text of message id about the member name (quoted, cut in its middle when long), followed by
// more when given.
std::string memberMessage(int id, const std::string& name, const std::string& more = {});
// "LZMA 방식(14번)": a compression method as the user may know it.
std::string methodText(uint16_t method);
// Why libzip failed (its error code, and the system's error), in Korean, for the detail of a message.
std::string zipErrorText(int zipError, int systemError);
std::string zipErrorText(zip_error_t* error);
// Why the zip engine adds nothing to an archive libzip refused to open with zipError (and the
// system's error systemError).
std::string addRefusedMessage(int zipError, int systemError);
// The message for an archive libzip refused to open with error code zipError.
std::string openFailureMessage(int zipError, const std::string& detail);

}  // namespace tk::engine
