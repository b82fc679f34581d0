#include "base/app_error.h"

#include <cerrno>

namespace romscriber {

std::string ErrorDescription(int number) {
  switch (number) {
    case kErrOverflow:
      return "Desbordamiento";
    case kErrSubscript:
      return "El subíndice está fuera del intervalo";
    case kErrFileNotFound:
      return "No se encontró el archivo";
    case kErrDiskFull:
      return "Disco lleno";
    case kErrPastEndOfFile:
      return "La entrada pasó del final del archivo";
    case kErrPermissionDenied:
      return "Permiso denegado";
    case kErrPathFileAccess:
      return "Error de acceso a la ruta o el archivo";
    case kErrPathNotFound:
      return "No se encontró la ruta de acceso";
    case kErrCancelled:
      return "Se eligió Cancelar";
    case kErrBadInput:
      return "Archivo no válido";
    case kErrBadSetting:
      return "Ajuste no válido";
    case kErrNoRoom:
      return "El texto no cabe";
    case kErrCannotEncode:
      return "Texto que la tabla no puede codificar";
    default:
      return "Error de la aplicación";
  }
}

AppError::AppError(int number) : AppError(number, ErrorDescription(number)) {}

AppError::AppError(int number, const std::string& description)
    : std::runtime_error(description), m_number(number), m_description(description) {}

AppError::AppError(int number, const std::string& description, Where where)
    : std::runtime_error(description),
      m_number(number),
      m_description(description),
      m_where(std::move(where)) {}

AppError AppError::At(int number, Where where, const std::string& what) {
  const std::string text = where.Text();
  return AppError(number, text.empty() ? what : text + ": " + what, std::move(where));
}

std::string Where::Text() const {
  std::string text = File;
  if (Line > 0) text += ":" + std::to_string(Line);
  if (Line > 0 && Column > 0) text += ":" + std::to_string(Column);
  return text;
}

int ErrorNumberForSystemError(std::error_code code, bool isFolder) {
  if (code.category() != std::generic_category() && code.category() != std::system_category()) {
    return kErrPathFileAccess;
  }
  switch (code.value()) {
    case ENOENT:
      return isFolder ? kErrPathNotFound : kErrFileNotFound;
    case ENOTDIR:
      return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return kErrPermissionDenied;
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
      return kErrDiskFull;
    default:
      return kErrPathFileAccess;
  }
}

void ThrowSystemError(std::error_code code, bool isFolder) {
  throw AppError(ErrorNumberForSystemError(code, isFolder));
}

}  // namespace romscriber
