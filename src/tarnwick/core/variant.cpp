#include "tarnwick/core/variant.h"

#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/numeric_text.h"

namespace tarnwick {

double Variant::ToDouble() const {
  switch (kind()) {
    case Kind::Empty: return 0.0;
    case Kind::Number: return std::get<double>(v_);
    case Kind::Date: return std::get<Date>(v_).serial();
    case Kind::Boolean: return std::get<bool>(v_) ? -1.0 : 0.0;
    case Kind::Text:
      if (auto v = ParseNumber(std::get<std::string>(v_))) return *v;
      Raise(ErrorCode::TypeMismatch);
  }
  Raise(ErrorCode::TypeMismatch);
}

Date Variant::ToDate() const {
  switch (kind()) {
    case Kind::Empty: return Date{};
    case Kind::Number: return Date(std::get<double>(v_));
    case Kind::Date: return std::get<Date>(v_);
    case Kind::Boolean: return Date(std::get<bool>(v_) ? -1.0 : 0.0);
    case Kind::Text:
      if (auto d = ParseDate(std::get<std::string>(v_))) return *d;
      Raise(ErrorCode::TypeMismatch);
  }
  Raise(ErrorCode::TypeMismatch);
}

bool Variant::ToBool() const {
  switch (kind()) {
    case Kind::Empty: return false;
    case Kind::Number: return std::get<double>(v_) != 0.0;
    case Kind::Date: return std::get<Date>(v_).serial() != 0.0;
    case Kind::Boolean: return std::get<bool>(v_);
    case Kind::Text: {
      const std::string& t = std::get<std::string>(v_);
      if (t == "True" || t == "TRUE" || t == "true") return true;
      if (t == "False" || t == "FALSE" || t == "false") return false;
      if (auto v = ParseNumber(t)) return *v != 0.0;
      Raise(ErrorCode::TypeMismatch);
    }
  }
  Raise(ErrorCode::TypeMismatch);
}

std::string Variant::ToText() const {
  switch (kind()) {
    case Kind::Empty: return {};
    case Kind::Number: return NumText(std::get<double>(v_));
    case Kind::Date: return DateText(std::get<Date>(v_));
    case Kind::Boolean: return BoolText(std::get<bool>(v_));
    case Kind::Text: return std::get<std::string>(v_);
  }
  return {};
}

}  // namespace tarnwick
