#pragma once
// cRegSettings: small named text settings of the add-in in a per-user store, arranged as the
// host arranges its program settings: key "Software\<Company>\<AppName>\<Section>", one named
// text value per setting, "*" naming a key's unnamed default value. Key and value names are
// compared without letter case.
//
// The store is one SQLite file: $TARNWICK_SETTINGS when set, else
// $XDG_CONFIG_HOME/tarnwick/settings.db, else ~/.config/tarnwick/settings.db. Every write is
// durable when the call returns, and writers in several processes wait for each other rather
// than lose a write. Failures never raise: they give False, the default or an empty value.

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

class cRegSettings {
 public:
  using Table = std::vector<std::array<std::string, 2>>;  // rows of (name, text)

  static constexpr const char* kDefaultCompany = "VB and VBA Program Settings";
  static constexpr const char* kDefaultAppName = "Test Product";

  // Writing a text stores it trimmed; "" (or blanks only) restores the default.
  void Company(const std::string& v);
  const std::string& Company() const { return company_; }
  void AppName(const std::string& v);
  const std::string& AppName() const { return appName_; }

  // Deletes one setting, or the whole section when Key is "". A section that still has
  // subkeys of its own cannot be deleted.
  bool DeleteSetting(const std::string& Section, const std::string& Key = "");
  // All text settings of a section in the order they were first written; nullopt when the
  // section is missing or holds none.
  std::optional<Table> GetAllSettings(const std::string& Section);
  std::string GetSetting(const std::string& Section, const std::string& Key,
                         const std::string& Default = "");
  // Creates or replaces one setting; missing keys on the path are created.
  bool SaveSetting(const std::string& Section, const std::string& Key, const std::string& Setting);

  // The key path of a section, relative to the user's root.
  std::string KeyPath(const std::string& Section) const;
  // The file that holds the store ("" when no location can be found).
  static std::string StorePath();

 private:
  std::string company_ = kDefaultCompany;
  std::string appName_ = kDefaultAppName;
};

}  // namespace tarnwick
