#include "bridge/bridge_session.h"

#include <nlohmann/json.hpp>

#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>

#include "bridge/agent_image.h"
#include "bridge/framing.h"
#include "common/text.h"
#include "dialogs/about_model.h"
#include "dialogs/options_model.h"
#include "pagetools/browser_page.h"
#include "pagetools/page_language.h"
#include "search/browser_connection.h"
#include "search/search_box_access.h"
#include "search/search_history.h"
#include "search/url_template.h"
#include "storage/settings.h"
#include "toolbar/headless_surface.h"
#include "toolbar/toolbar_window.h"
#include "usage/usage_log.h"

namespace norvex::bridge {

namespace {

using json = nlohmann::json;
using catalogue::AgentKind;

// Text that came from files may hold bytes that are not UTF-8 (a lone surrogate kept for a
// byte): they become U+FFFD rather than an exception.
std::string Dump(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string Utf8(const std::u16string& text) { return Utf16ToUtf8(text); }

json ImageOrNull(int bitmap, uint32_t mask) {
  const std::string key = ImageKey(bitmap, mask);
  return key.empty() ? json(nullptr) : json(key);
}

// A request's fields, read with their types checked; the first mistake is kept for the answer.
class Fields {
 public:
  explicit Fields(const json& request) : request_(request) {}
  const std::string& mistake() const { return mistake_; }
  bool ok() const { return mistake_.empty(); }

  std::optional<int> Int(const char* name, bool required = false) {
    const json* value = Find(name, required);
    if (!value) return std::nullopt;
    if (!value->is_number_integer() || value->get<int64_t>() < INT_MIN ||
        value->get<int64_t>() > INT_MAX) {
      Fail(std::string("'") + name + "' must be an integer");
      return std::nullopt;
    }
    return static_cast<int>(value->get<int64_t>());
  }
  std::optional<std::u16string> Text(const char* name, bool required = false) {
    const json* value = Find(name, required);
    if (!value) return std::nullopt;
    if (!value->is_string()) {
      Fail(std::string("'") + name + "' must be a string");
      return std::nullopt;
    }
    return Utf8ToUtf16(value->get_ref<const std::string&>());
  }
  bool Bool(const char* name) {
    const json* value = Find(name, false);
    if (!value) return false;
    if (!value->is_boolean()) {
      Fail(std::string("'") + name + "' must be true or false");
      return false;
    }
    return value->get<bool>();
  }
  const json* Array(const char* name, bool required = false) {
    const json* value = Find(name, required);
    if (value && !value->is_array()) {
      Fail(std::string("'") + name + "' must be an array");
      return nullptr;
    }
    return value;
  }
  const json* Object(const char* name) {
    const json* value = Find(name, false);
    if (value && !value->is_object()) {
      Fail(std::string("'") + name + "' must be an object");
      return nullptr;
    }
    return value;
  }
  void Fail(std::string mistake) {
    if (mistake_.empty()) mistake_ = std::move(mistake);
  }

 private:
  const json* Find(const char* name, bool required) {
    const auto it = request_.find(name);
    if (it == request_.end() || it->is_null()) {
      if (required) Fail(std::string("'") + name + "' is missing");
      return nullptr;
    }
    return &*it;
  }

  const json& request_;
  std::string mistake_;
};

// What the toolbar remembers between commands, held by the extension (docs/browsers.md).
struct ToolbarState {
  int engine = 0;
  int translation = 0;
  int dictionary = 0;
  int webtrans = -1;

  json ToJson() const {
    return {{"engine", engine},
            {"translation", translation},
            {"dictionary", dictionary},
            {"webtrans", webtrans}};
  }
};

bool ReadState(Fields& fields, ToolbarState& state) {
  const json* object = fields.Object("state");
  if (!fields.ok()) return false;
  if (!object) return true;
  Fields inner(*object);
  state.engine = inner.Int("engine").value_or(0);
  state.translation = inner.Int("translation").value_or(0);
  state.dictionary = inner.Int("dictionary").value_or(0);
  state.webtrans = inner.Int("webtrans").value_or(-1);
  if (!inner.ok()) fields.Fail("state: " + inner.mistake());
  return fields.ok();
}

// The page tools' reading of a search text: the words to highlight in order with their colours,
// and the word that find in page looks for (the first of the trimmed text; empty when none).
json Words(const std::u16string& text) {
  json words = json::array(), colors = json::array();
  const std::vector<std::u16string> split = pagetools::SplitSearchWords(text);
  for (size_t i = 0; i < split.size(); ++i) {
    words.push_back(Utf16ToUtf8(split[i]));
    colors.push_back(Utf16ToUtf8(pagetools::HighlightColor(i)));
  }
  const std::vector<std::u16string> findable = pagetools::SplitSearchWords(Trim(text));
  return {{"words", std::move(words)},
          {"colors", std::move(colors)},
          {"first", findable.empty() ? std::string() : Utf16ToUtf8(findable.front())}};
}

// A request that could not be carried out: its error code and message.
struct Refusal {
  std::string code;
  std::string message;
};

}  // namespace

std::string ErrorMessage(std::string_view code, std::string_view message) {
  return Dump(json{{"type", "error"}, {"code", code}, {"message", message}});
}

class BridgeSession::Impl final : public toolbar::ToolbarActions,
                                  public search::BrowserConnection,
                                  public search::SearchBoxAccess {
 public:
  Impl(storage::ProgramStarter& starter, std::string platform)
      : starter_(starter), platform_(std::move(platform)), window_(surface_, *this) {
    // Wide enough that every agent sits on the toolbar: the browsers' side panel shows them all.
    surface_.width = surface_.parentWidth = kUnlimitedWidth;
    surface_.notify = [this](int code) { window_.RouteCommand(catalogue::kSearchBoxId, code); };
  }

  ~Impl() override {
    if (!created_) return;
    ForgetBoxHistory();
    window_.OnDestroy();
  }

  void Handle(std::string_view message, std::vector<std::string>& answers);

  // ToolbarActions: what a command leads to becomes an action of the answer.
  void OpenTemplateUrl(const std::u16string& urlTemplate, const std::u16string& encoding) override {
    search::OpenTemplateUrl(urlTemplate, encoding, {this, this});
  }
  void Highlight() override {
    const json words = Words(BoxText());
    actions_.push_back({{"do", "highlight"},
                        {"text", Utf8(BoxText())},
                        {"words", words["words"]},
                        {"colors", words["colors"]}});
  }
  void FindInPage() override {
    actions_.push_back(
        {{"do", "find"}, {"text", Utf8(BoxText())}, {"word", Words(BoxText())["first"]}});
  }
  bool ShowOptions() override {
    actions_.push_back({{"do", "options"}});
    // The options page writes through `options-write`; no toolbar refresh is due here.
    return false;
  }
  void ShowAbout() override { actions_.push_back({{"do", "about"}, {"lines", AboutLines()}}); }
  void StartUninstall() override {
    Recorder recorder(*this);
    storage::StartUninstall(recorder);
  }
  void OpenWindow(const std::u16string& url, int width, int height) override {
    actions_.push_back(
        {{"do", "open-window"}, {"url", Utf8(url)}, {"width", width}, {"height", height}});
  }
  void BroadcastRefresh() override {}
  // The bridge sends the daily report itself, after its first answer.
  void DailyUsageCheck() override {}

  // BrowserConnection: the tab the extension named.
  std::u16string LocationUrl() override { return tabUrl_; }
  void Navigate(const std::u16string& url) override {
    actions_.push_back({{"do", "navigate"}, {"url", Utf8(url)}});
  }

  // SearchBoxAccess: the box's text, and the history written as the box writes it, to the list
  // as it is in the file now (another toolbar may have added to it), except from private windows.
  std::u16string GetText() const override { return BoxText(); }
  void AddHistory(std::u16string_view text, bool write) override {
    if (private_) return;
    search::SearchHistory history;
    history.LoadHistory(toolbar::kHistorySection, toolbar::kHistoryKeyPrefix);
    history.AddHistory(text, write);
  }

 private:
  static constexpr int kUnlimitedWidth = 1 << 20;

  // Records what the uninstall start did, and starts it for real.
  class Recorder final : public storage::ProgramStarter {
   public:
    explicit Recorder(Impl& impl) : impl_(impl) {}
    bool Start(const std::u16string& program, const std::u16string& arguments) override {
      const bool started = impl_.starter_.Start(program, arguments);
      impl_.actions_.push_back({{"do", "start"},
                                {"program", Utf8(program)},
                                {"arguments", Utf8(arguments)},
                                {"started", started}});
      return started;
    }

   private:
    Impl& impl_;
  };

  using Handler = std::optional<Refusal> (Impl::*)(Fields&, json&, std::vector<std::string>&);

  std::optional<Refusal> Hello(Fields& fields, json& answer, std::vector<std::string>&);
  std::optional<Refusal> Model(Fields& fields, json& answer, std::vector<std::string>&);
  std::optional<Refusal> Images(Fields& fields, json& answer, std::vector<std::string>& before);
  std::optional<Refusal> Command(Fields& fields, json& answer, std::vector<std::string>&);
  std::optional<Refusal> Search(Fields& fields, json& answer, std::vector<std::string>&);
  std::optional<Refusal> History(Fields& fields, json& answer, std::vector<std::string>&);
  std::optional<Refusal> HistoryDelete(Fields& fields, json& answer, std::vector<std::string>&);
  std::optional<Refusal> Language(Fields& fields, json& answer, std::vector<std::string>&);
  std::optional<Refusal> Options(Fields& fields, json& answer, std::vector<std::string>&);
  std::optional<Refusal> OptionsWrite(Fields& fields, json& answer, std::vector<std::string>&);
  std::optional<Refusal> About(Fields& fields, json& answer, std::vector<std::string>&);
  std::optional<Refusal> WordsOf(Fields& fields, json& answer, std::vector<std::string>&);

  std::u16string BoxText() const {
    return window_.searchBox() ? window_.searchBox()->GetText() : std::u16string();
  }
  static json AboutLines() {
    json lines = json::array();
    for (const auto& line : dialogs::AboutLines()) lines.push_back(Utf8(line));
    return lines;
  }

  // The box's list stays empty: the bridge writes the history through AddHistory above, and a
  // list held here would be written back over the file when the toolbar is rebuilt.
  void ForgetBoxHistory() {
    if (window_.searchBox()) window_.searchBox()->ResetContent();
  }

  // The toolbar as the files make it now, with the extension's state and search text.
  void Prepare(const ToolbarState& state, const std::u16string& text);
  // The state as the toolbar holds it after a command; `routed` is the command that ran.
  ToolbarState CurrentState(int routed) const;
  void PutStateAndButtons(json& answer) const;
  json AgentsJson() const;
  json EnginesJson() const;
  std::set<std::string> ModelImageKeys() const;
  // Runs a command as a press on a button's face or the choice of a menu item; false when no
  // button or item has that identifier.
  bool RunCommand(int id);

  storage::ProgramStarter& starter_;
  std::string platform_;
  toolbar::HeadlessSurface surface_;
  toolbar::ToolbarWindow window_;
  bool created_ = false;
  std::optional<int> refusedProtocol_;  // the extension's version, after a hello that did not fit

  // Per request.
  json actions_ = json::array();
  std::u16string tabUrl_;
  bool private_ = false;
  ToolbarState state_;
};

void BridgeSession::Impl::Prepare(const ToolbarState& state, const std::u16string& text) {
  // Made at the first request that needs it (a `hello` does not), then rebuilt from the files
  // for every request, as a refresh rebuilds the toolbar: the service may have changed them.
  if (!created_) {
    window_.OnCreate();
    window_.OnSize(kUnlimitedWidth);
    created_ = true;
  } else {
    ForgetBoxHistory();
    window_.RebuildContents();
  }
  ForgetBoxHistory();
  const catalogue::AgentSet& agents = window_.agents();
  state_ = ToolbarState{};
  if (state.engine != 0 && window_.SelectSearchEngine(state.engine) &&
      state.engine != agents.defaultSearchRecord) {
    state_.engine = state.engine;
  }
  for (const int item : {state.translation, state.dictionary}) {
    const catalogue::AgentRecord* record = agents.Record(item);
    if (!record) continue;
    const bool fits = (item == state.translation && record->kind == AgentKind::kTranslationItem) ||
                      (item == state.dictionary && record->kind == AgentKind::kDictionaryItem);
    if (fits && window_.AdoptLanguageItem(item)) {
      (record->kind == AgentKind::kTranslationItem ? state_.translation : state_.dictionary) = item;
    }
  }
  if (state.webtrans >= 0 && agents.webTranslationButton != 0 &&
      state.webtrans < static_cast<int>(agents.webTranslationItems.size())) {
    window_.AdoptWebTranslationItem(state.webtrans);
    state_.webtrans = state.webtrans;
  }
  if (search::SearchComboBox* box = window_.searchBox()) {
    box->SetText(text);
    surface_.DeliverPosted();
    window_.RouteCommand(catalogue::kSearchBoxId, search::kCbnEditUpdate);
  }
}

ToolbarState BridgeSession::Impl::CurrentState(int routed) const {
  ToolbarState state = state_;
  const catalogue::AgentSet& agents = window_.agents();
  state.engine =
      agents.currentSearchRecord == agents.defaultSearchRecord ? 0 : agents.currentSearchRecord;
  if (const catalogue::AgentRecord* record = agents.Record(routed)) {
    if (record->kind == AgentKind::kTranslationItem && agents.translationButton != 0) {
      state.translation = routed;
    } else if (record->kind == AgentKind::kDictionaryItem && agents.dictionaryButton != 0) {
      state.dictionary = routed;
    }
  }
  return state;
}

void BridgeSession::Impl::PutStateAndButtons(json& answer) const {
  answer["state"] = state_.ToJson();
  const catalogue::AgentSet& agents = window_.agents();
  json buttons = json::array();
  for (const int id : {agents.searchButton, agents.translationButton, agents.dictionaryButton,
                       agents.webTranslationButton}) {
    if (const toolbar::AgentButton* button = id ? window_.Button(id) : nullptr) {
      buttons.push_back(
          {{"id", id}, {"caption", Utf8(button->text)}, {"command", button->commandId}});
    }
  }
  answer["buttons"] = std::move(buttons);
}

json BridgeSession::Impl::AgentsJson() const {
  const catalogue::AgentSet& agents = window_.agents();
  auto inSlots = [&](const std::vector<size_t>& slots, size_t index) {
    return std::find(slots.begin(), slots.end(), index) != slots.end();
  };
  json list = json::array();
  for (size_t index = 0; index < agents.slots.size(); ++index) {
    const int id = agents.slots[index].buttonId;
    const toolbar::AgentButton* button = window_.Button(id);
    if (!button) continue;
    const char* kind = button->style == catalogue::MenuStyle::kMenu        ? "menu"
                       : button->style == catalogue::MenuStyle::kSplitMenu ? "split"
                                                                           : "button";
    json role = nullptr;
    if (id == agents.settingsButton)
      role = "settings";
    else if (id == agents.searchButton)
      role = "search";
    else if (id == agents.translationButton)
      role = "translation";
    else if (id == agents.dictionaryButton)
      role = "dictionary";
    else if (id == agents.webTranslationButton)
      role = "webtrans";
    else if (agents.highlightSlot == index)
      role = "highlight";
    else if (agents.searchInPageSlot == index)
      role = "searchinpage";
    const char* place = id == agents.settingsButton          ? "end"
                        : inSlots(agents.rightSlots, index)  ? "right"
                        : inSlots(agents.middleSlots, index) ? "middle"
                                                             : "left";
    json menu = json::array();
    for (const catalogue::OverflowEntry& entry : button->menu) {
      json item = {{"id", entry.id},
                   {"caption", Utf8(entry.caption)},
                   {"image", ImageOrNull(entry.bitmap, entry.transparent)},
                   {"grayed", entry.grayed}};
      const catalogue::AgentRecord* record = agents.Record(entry.id);
      if (record && record->kind == AgentKind::kSearchEngine) item["engine"] = true;
      menu.push_back(std::move(item));
    }
    list.push_back(
        {{"id", id},
         {"name", Utf8(button->name)},
         {"caption", Utf8(button->text)},
         {"tooltip", Utf8(button->tooltip)},
         {"kind", kind},
         {"role", role},
         {"place", place},
         {"enabled", button->enabled},
         {"needsText", agents.highlightSlot == index || agents.searchInPageSlot == index},
         {"command", button->commandId},
         {"image", ImageOrNull(button->image, button->transparent)},
         {"offImage", ImageOrNull(button->offImage, button->transparent)},
         {"menu", std::move(menu)}});
  }
  return list;
}

json BridgeSession::Impl::EnginesJson() const {
  const catalogue::AgentSet& agents = window_.agents();
  json engines = json::array();
  const catalogue::AgentRecord* fallback = agents.Record(agents.defaultSearchRecord);
  if (agents.searchButton == 0 || !fallback) return engines;
  engines.push_back({{"id", agents.defaultSearchRecord},
                     {"caption", Utf8(fallback->caption)},
                     {"default", true}});
  if (const toolbar::AgentButton* button = window_.Button(agents.searchButton)) {
    for (const catalogue::OverflowEntry& entry : button->menu) {
      const catalogue::AgentRecord* record = agents.Record(entry.id);
      if (record && record->kind == AgentKind::kSearchEngine) {
        engines.push_back({{"id", entry.id}, {"caption", Utf8(entry.caption)}, {"default", false}});
      }
    }
  }
  return engines;
}

std::set<std::string> BridgeSession::Impl::ModelImageKeys() const {
  std::set<std::string> keys;
  auto add = [&](int bitmap, uint32_t mask) {
    if (bitmap != 0) keys.insert(ImageKey(bitmap, mask));
  };
  for (const auto& [id, button] : window_.buttons()) {
    add(button.image, button.transparent);
    add(button.offImage, button.transparent);
    for (const auto& entry : button.menu) add(entry.bitmap, entry.transparent);
  }
  return keys;
}

bool BridgeSession::Impl::RunCommand(int id) {
  if (window_.Button(id) != nullptr) {
    // The face: clear of a split button's arrow. A menu button opens its menu, and a menu closed
    // without a choice does nothing.
    if (window_.PressButton(id, 1)) window_.CloseButtonMenu(id, 0);
    return true;
  }
  for (const auto& [buttonId, button] : window_.buttons()) {
    for (const catalogue::OverflowEntry& entry : button.menu) {
      if (entry.id != id) continue;
      // The arrow at the right end, where split and menu buttons both open their menus.
      if (window_.PressButton(buttonId, button.rect.width() - 1)) {
        window_.CloseButtonMenu(buttonId, id);
      }
      return true;
    }
  }
  return false;
}

// ---- The requests ----------------------------------------------------------------------------

std::optional<Refusal> BridgeSession::Impl::Hello(Fields& fields, json& answer,
                                                  std::vector<std::string>&) {
  const std::optional<int> protocol = fields.Int("protocol", true);
  if (!fields.ok()) return Refusal{error::kBadRequest, fields.mistake()};
  if (*protocol < kMinProtocol || *protocol > kMaxProtocol) {
    refusedProtocol_ = *protocol;
    return std::nullopt;  // the caller answers every request with the protocol error from now on
  }
  refusedProtocol_.reset();
  std::u16string version;
  storage::ReadInstalledVersion(version);
  answer["protocol"] = *protocol;
  answer["minProtocol"] = kMinProtocol;
  answer["maxProtocol"] = kMaxProtocol;
  answer["bridge"] = Utf8(Trim(version));
  answer["platform"] = platform_;
  return std::nullopt;
}

std::optional<Refusal> BridgeSession::Impl::Model(Fields& fields, json& answer,
                                                  std::vector<std::string>&) {
  ToolbarState state;
  const std::u16string text = fields.Text("text").value_or(u"");
  if (!ReadState(fields, state)) return Refusal{error::kBadRequest, fields.mistake()};
  // The stamp is of the catalogue as built, before the state changes any caption.
  Prepare(ToolbarState{}, u"");
  const std::string stamp = Dump(AgentsJson()) + Dump(EnginesJson());
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const char c : stamp) hash = (hash ^ uint8_t(c)) * 1099511628211ull;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));

  Prepare(state, text);
  answer["catalogue"] = hex;
  answer["searchBox"] = window_.searchBox() != nullptr;
  answer["agents"] = AgentsJson();
  answer["engines"] = EnginesJson();
  json keys = json::array();
  for (const std::string& key : ModelImageKeys()) keys.push_back(key);
  answer["images"] = std::move(keys);
  PutStateAndButtons(answer);
  return std::nullopt;
}

std::optional<Refusal> BridgeSession::Impl::Images(Fields& fields, json& answer,
                                                   std::vector<std::string>& before) {
  const json* requested = fields.Array("keys");
  if (!fields.ok()) return Refusal{error::kBadRequest, fields.mistake()};
  std::vector<std::string> keys;
  if (requested) {
    for (const json& key : *requested) {
      if (!key.is_string()) return Refusal{error::kBadRequest, "'keys' must hold strings"};
      keys.push_back(key.get<std::string>());
    }
  } else {
    Prepare(ToolbarState{}, u"");
    for (const std::string& key : ModelImageKeys()) keys.push_back(key);
  }
  json missing = json::array();
  int count = 0;
  for (const std::string& key : keys) {
    const auto parts = ParseImageKey(key);
    const std::optional<RgbaImage> image =
        parts ? DecodeMaskedBitmap(ModuleBitmapFile(parts->first), parts->second) : std::nullopt;
    if (!image) {
      missing.push_back(key);
      continue;
    }
    json message = {{"type", "image"},
                    {"key", key},
                    {"width", image->width},
                    {"height", image->height},
                    {"png1x", Base64(EncodePng(*image))},
                    {"png2x", Base64(EncodePng(DoubleSize(*image)))}};
    if (answer.contains("seq")) message["seq"] = answer["seq"];
    before.push_back(Dump(message));
    ++count;
  }
  answer["count"] = count;
  answer["missing"] = std::move(missing);
  return std::nullopt;
}

std::optional<Refusal> BridgeSession::Impl::Command(Fields& fields, json& answer,
                                                    std::vector<std::string>&) {
  ToolbarState state;
  const std::optional<int> id = fields.Int("id", true);
  const std::u16string text = fields.Text("text").value_or(u"");
  tabUrl_ = fields.Text("url").value_or(u"");
  private_ = fields.Bool("private");
  if (!ReadState(fields, state)) return Refusal{error::kBadRequest, fields.mistake()};
  Prepare(state, text);
  if (!RunCommand(*id)) {
    return Refusal{error::kUnknownId,
                   "no agent or menu item has the identifier " + std::to_string(*id)};
  }
  surface_.DeliverPosted();
  state_ = CurrentState(*id);
  answer["actions"] = actions_;
  PutStateAndButtons(answer);
  return std::nullopt;
}

std::optional<Refusal> BridgeSession::Impl::Search(Fields& fields, json& answer,
                                                   std::vector<std::string>&) {
  ToolbarState state;
  const std::optional<std::u16string> text = fields.Text("text", true);
  const int engine = fields.Int("engine").value_or(0);
  tabUrl_ = fields.Text("url").value_or(u"");
  private_ = fields.Bool("private");
  if (!ReadState(fields, state)) return Refusal{error::kBadRequest, fields.mistake()};
  Prepare(state, *text);
  if (engine != 0 && !window_.SelectSearchEngine(engine)) {
    return Refusal{error::kUnknownId,
                   "no search engine has the identifier " + std::to_string(engine)};
  }
  if (!window_.searchBox()) return Refusal{error::kUnknownId, "the catalogue has no search agent"};
  window_.RouteCommand(catalogue::kSearchBoxId, search::kNotifySubmit);
  surface_.DeliverPosted();
  state_ = CurrentState(0);
  answer["actions"] = actions_;
  PutStateAndButtons(answer);
  return std::nullopt;
}

std::optional<Refusal> BridgeSession::Impl::History(Fields& fields, json& answer,
                                                    std::vector<std::string>&) {
  const std::u16string prefix = fields.Text("prefix").value_or(u"");
  if (!fields.ok()) return Refusal{error::kBadRequest, fields.mistake()};
  search::SearchHistory history;
  history.LoadHistory(toolbar::kHistorySection, toolbar::kHistoryKeyPrefix);
  json entries = json::array();
  for (const search::ComboItem& item : history.StartingWith(prefix))
    entries.push_back(Utf8(item.text));
  answer["entries"] = std::move(entries);
  return std::nullopt;
}

std::optional<Refusal> BridgeSession::Impl::HistoryDelete(Fields&, json& answer,
                                                          std::vector<std::string>&) {
  search::SearchHistory history;
  history.LoadHistory(toolbar::kHistorySection, toolbar::kHistoryKeyPrefix);
  history.DeleteHistory();
  answer["deleted"] = true;
  return std::nullopt;
}

std::optional<Refusal> BridgeSession::Impl::Language(Fields& fields, json& answer,
                                                     std::vector<std::string>&) {
  ToolbarState state;
  const std::u16string charset = fields.Text("charset").value_or(u"");
  const std::u16string lang = fields.Text("lang").value_or(u"");
  if (!ReadState(fields, state)) return Refusal{error::kBadRequest, fields.mistake()};
  const int position = pagetools::ChooseTranslationItem(charset, lang);
  state.webtrans = position;
  Prepare(state, u"");
  state_.webtrans = position;
  const catalogue::AgentSet& agents = window_.agents();
  answer["position"] = position;
  if (agents.webTranslationButton != 0 &&
      position < static_cast<int>(agents.webTranslationItems.size())) {
    const catalogue::OverflowEntry& item = agents.webTranslationItems[position];
    answer["item"] = {{"id", item.id}, {"caption", Utf8(item.caption)}};
  } else {
    answer["item"] = nullptr;
  }
  PutStateAndButtons(answer);
  return std::nullopt;
}

std::optional<Refusal> BridgeSession::Impl::Options(Fields&, json& answer,
                                                    std::vector<std::string>&) {
  dialogs::OptionsModel model;
  model.Load();
  json rows = json::array();
  for (const dialogs::AgentRow& row : model.rows()) {
    rows.push_back({{"id", Utf8(row.id)},
                    {"caption", Utf8(row.caption)},
                    {"image", ImageOrNull(row.image, row.colorMask)},
                    {"shown", row.ticked}});
  }
  std::u16string address;
  answer["label"] = Utf8(model.tabLabel());
  answer["rows"] = std::move(rows);
  answer["dailyReport"] = {{"configured", usage::GetLogUrl(u"daily", address)},
                           {"last", usage::ReadLastDailyTime()}};
  return std::nullopt;
}

std::optional<Refusal> BridgeSession::Impl::OptionsWrite(Fields& fields, json& answer,
                                                         std::vector<std::string>&) {
  const json* rows = fields.Array("rows", true);
  if (!fields.ok()) return Refusal{error::kBadRequest, fields.mistake()};
  dialogs::OptionsModel model;
  model.Load();
  for (const json& row : *rows) {
    if (!row.is_object()) return Refusal{error::kBadRequest, "'rows' must hold objects"};
    Fields rowFields(row);
    const std::optional<std::u16string> id = rowFields.Text("id", true);
    const json* shown = row.contains("shown") ? &row["shown"] : nullptr;
    if (!rowFields.ok()) return Refusal{error::kBadRequest, "rows: " + rowFields.mistake()};
    if (!shown || !shown->is_boolean()) {
      return Refusal{error::kBadRequest, "rows: 'shown' must be true or false"};
    }
    bool found = false;
    for (size_t i = 0; i < model.rows().size(); ++i) {
      if (model.rows()[i].id == *id) {
        model.SetTick(i, shown->get<bool>());
        found = true;
      }
    }
    if (!found)
      return Refusal{error::kUnknownId, "no options row has the id \"" + Utf8(*id) + "\""};
  }
  model.Accept();
  answer["written"] = model.rows().size();
  return std::nullopt;
}

std::optional<Refusal> BridgeSession::Impl::About(Fields&, json& answer,
                                                  std::vector<std::string>&) {
  answer["lines"] = AboutLines();
  return std::nullopt;
}

std::optional<Refusal> BridgeSession::Impl::WordsOf(Fields& fields, json& answer,
                                                    std::vector<std::string>&) {
  const std::optional<std::u16string> text = fields.Text("text", true);
  if (!fields.ok()) return Refusal{error::kBadRequest, fields.mistake()};
  answer.update(Words(*text));
  return std::nullopt;
}

void BridgeSession::Impl::Handle(std::string_view message, std::vector<std::string>& answers) {
  static const std::map<std::string, Handler, std::less<>> kHandlers = {
      {"hello", &Impl::Hello},
      {"model", &Impl::Model},
      {"images", &Impl::Images},
      {"command", &Impl::Command},
      {"search", &Impl::Search},
      {"history", &Impl::History},
      {"history-delete", &Impl::HistoryDelete},
      {"language", &Impl::Language},
      {"options", &Impl::Options},
      {"options-write", &Impl::OptionsWrite},
      {"about", &Impl::About},
      {"words", &Impl::WordsOf},
  };
  json answer = json::object();
  auto refuse = [&](const std::string& code, const std::string& text) {
    json error = {{"type", "error"}, {"code", code}, {"message", text}};
    if (answer.contains("seq")) error["seq"] = answer["seq"];
    if (answer.contains("type")) error["request"] = answer["type"];
    answers.push_back(Dump(error));
  };

  const json request = json::parse(message.begin(), message.end(), nullptr, false);
  if (request.is_discarded() || !request.is_object()) {
    refuse(error::kBadJson,
           request.is_discarded() ? "the message is not JSON" : "the message is not a JSON object");
    return;
  }
  if (const auto seq = request.find("seq"); seq != request.end()) {
    if (!seq->is_number() && !seq->is_string()) {
      refuse(error::kBadRequest, "'seq' must be a number or a string");
      return;
    }
    answer["seq"] = *seq;
  }
  const auto type = request.find("type");
  if (type == request.end() || !type->is_string()) {
    refuse(error::kBadRequest, "'type' must be a string");
    return;
  }
  const std::string& name = type->get_ref<const std::string&>();
  answer["type"] = name;
  const auto handler = kHandlers.find(name);
  if (handler == kHandlers.end()) {
    refuse(error::kUnknownType, "no request is called \"" + name + "\"");
    return;
  }

  Fields fields(request);
  auto protocolRefusal = [&](int theirs) {
    json error = {
        {"type", "error"},
        {"code", error::kProtocol},
        {"request", name},
        {"protocol", theirs},
        {"minProtocol", kMinProtocol},
        {"maxProtocol", kMaxProtocol},
        {"update", theirs > kMaxProtocol ? "bridge" : "extension"},
        {"message", "the extension speaks protocol " + std::to_string(theirs) +
                        "; this bridge speaks " + std::to_string(kMinProtocol) + " to " +
                        std::to_string(kMaxProtocol) +
                        (theirs > kMaxProtocol ? ": update Norvex" : ": update the extension")}};
    if (answer.contains("seq")) error["seq"] = answer["seq"];
    answers.push_back(Dump(error));
  };
  if (name != "hello") {
    if (refusedProtocol_) return protocolRefusal(*refusedProtocol_);
    const std::optional<int> theirs = fields.Int("protocol");
    if (!fields.ok()) return refuse(error::kBadRequest, fields.mistake());
    if (theirs && (*theirs < kMinProtocol || *theirs > kMaxProtocol))
      return protocolRefusal(*theirs);
  }

  actions_ = json::array();
  tabUrl_.clear();
  private_ = false;
  std::vector<std::string> before;
  std::optional<Refusal> refusal;
  try {
    refusal = (this->*(handler->second))(fields, answer, before);
  } catch (const std::exception& e) {
    refusal = Refusal{error::kFailed, e.what()};
  }
  private_ = false;
  if (refusal) return refuse(refusal->code, refusal->message);
  if (name == "hello" && refusedProtocol_) return protocolRefusal(*refusedProtocol_);

  for (std::string& text : before) {
    if (text.size() > kMaxMessageBytes) {
      refuse(error::kTooLarge, "an answer would be larger than 1 MiB");
    } else {
      answers.push_back(std::move(text));
    }
  }
  std::string text = Dump(answer);
  if (text.size() > kMaxMessageBytes)
    return refuse(error::kTooLarge, "the answer would be larger than 1 MiB");
  answers.push_back(std::move(text));
}

BridgeSession::BridgeSession(storage::ProgramStarter& starter, std::string platform)
    : impl_(std::make_unique<Impl>(starter, std::move(platform))) {}

BridgeSession::~BridgeSession() = default;

void BridgeSession::Handle(std::string_view message, std::vector<std::string>& answers) {
  try {
    impl_->Handle(message, answers);
  } catch (const std::exception& e) {
    answers.push_back(ErrorMessage(error::kFailed, e.what()));
  }
}

}  // namespace norvex::bridge
