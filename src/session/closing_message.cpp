#include "session/closing_message.h"

ClosingMessage MakeClosingMessage(const std::string& productName, const std::string& failureMessage,
                                  bool doUpdate, bool runOk, bool updateNeeded) {
  ClosingMessage message;
  if (!runOk) {
    message.stop = true;
    message.text = doUpdate ? failureMessage : productName + " can not be succesfully updated";
  } else if (doUpdate) {
    message.text = productName + " was sucessfully updated";
    message.updated = true;
  } else if (updateNeeded) {
    message.text = productName + " can be sucessfully updated";
  } else {
    message.text = productName + " is up to date";
  }
  return message;
}
