#include "tarnwick/core/holiday_calendar.h"

#include "tarnwick/core/default_text.h"
#include "tarnwick/core/text.h"

namespace tarnwick {

void HolidayCalendar::Add(Date day, std::string_view name) {
  const Date whole(static_cast<double>(day.Day()));
  std::string label(TrimView(name));
  if (label.empty()) label = DateText(whole);
  auto [it, added] = nameIndex_.emplace(label, static_cast<int>(names_.size()));
  if (added) names_.push_back(label);
  days_.emplace(whole.Day(), it->second);
}

HolidayCalendar::Line HolidayCalendar::AddLine(std::string_view line, DateOrder order) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  const std::string_view trimmed = TrimView(line);
  if (trimmed.empty() || trimmed.front() == '#') return Line::kNothing;
  const std::size_t tab = line.find('\t');
  const std::string_view dateText = line.substr(0, tab);
  const std::string_view name = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
  const auto d = ParseDate(dateText, order);
  if (!d) return Line::kNotADate;
  Add(*d, name);
  return Line::kAdded;
}

int HolidayCalendar::Find(Date day) const {
  const auto it = days_.find(day.Day());
  return it == days_.end() ? -1 : it->second;
}

}  // namespace tarnwick
