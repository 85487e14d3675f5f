#include "OrvCuiErrors.h"

std::string ShownErrorMessage(std::string Message) {
  if (!Message.empty() && static_cast<unsigned char>(Message.back()) > '.') Message += '.';
  return Message;
}
