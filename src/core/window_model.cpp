#include "core/window_model.h"

#include <stdexcept>
#include <utility>

namespace dulvex {

Control& WindowModel::Add(Control control) {
  std::string key = control.Key();
  if (byKey_.count(key) != 0) throw std::logic_error("duplicate control " + key);
  controls_.push_back(std::move(control));
  Control& added = controls_.back();
  byKey_.emplace(std::move(key), &added);
  return added;
}

Control* WindowModel::Find(std::string_view name, int index) {
  auto it = byKey_.find(Control::MakeKey(std::string(name), index));
  return it == byKey_.end() ? nullptr : it->second;
}

const Control* WindowModel::Find(std::string_view name, int index) const {
  auto it = byKey_.find(Control::MakeKey(std::string(name), index));
  return it == byKey_.end() ? nullptr : it->second;
}

Control& WindowModel::At(std::string_view name, int index) {
  Control* c = Find(name, index);
  if (c == nullptr)
    throw std::out_of_range("no control " + Control::MakeKey(std::string(name), index));
  return *c;
}

const Control& WindowModel::At(ControlId id) const {
  const Control* c = Find(id);
  if (c == nullptr)
    throw std::out_of_range("no control " + Control::MakeKey(std::string(id.name), id.index));
  return *c;
}

template <typename Map>
std::string WindowModel::Installing(Map& handlers, std::string_view event, std::string_view name,
                                    int index) const {
  std::string key(name);
  if (Find(name, index) == nullptr)
    throw std::logic_error(std::string(event) + " handler for " + Control::MakeKey(key, index) +
                           ", which the window does not have");
  if (handlers.count(key) != 0)
    throw std::logic_error(std::string(event) + " handler for " + key + " installed twice");
  return key;
}

void WindowModel::OnClick(ControlId control, IndexHandler handler) {
  click_[Installing(click_, "click", control.name, control.index)] = std::move(handler);
}
void WindowModel::OnClick(ControlArray controls, IndexHandler handler) {
  click_[Installing(click_, "click", controls.name, 0)] = std::move(handler);
}
void WindowModel::OnKey(ControlId control, IndexHandler handler) {
  key_[Installing(key_, "key", control.name, control.index)] = std::move(handler);
}
void WindowModel::OnHover(ControlArray controls, IndexHandler handler) {
  hover_[Installing(hover_, "hover", controls.name, 0)] = std::move(handler);
}
void WindowModel::OnChange(ControlId control, std::function<void()> handler) {
  change_[Installing(change_, "change", control.name, control.index)] = std::move(handler);
}
void WindowModel::OnLostFocus(ControlId control, std::function<void()> handler) {
  lostFocus_[Installing(lostFocus_, "lost-focus", control.name, control.index)] =
      std::move(handler);
}

void WindowModel::OnGridKey(std::function<bool(std::string_view keys)> handler) {
  if (gridKey_) throw std::logic_error("grid key handler installed twice");
  gridKey_ = std::move(handler);
}

bool WindowModel::Reachable(const Control& control) const {
  const Control* c = &control;
  for (int depth = 0; c != nullptr && depth < 16; ++depth) {
    if (!c->enabled) return false;
    if (c->parent.empty()) return true;
    auto it = byKey_.find(c->parent);
    c = it == byKey_.end() ? nullptr : it->second;
  }
  return true;
}

namespace {
template <typename Map>
bool Raise(WindowModel& model, Map& handlers, std::string_view name, int index, int arg) {
  auto it = handlers.find(std::string(name));
  if (it == handlers.end()) return false;
  const Control* c = model.Find(name, index);
  if (c != nullptr && !model.Reachable(*c)) return false;
  it->second(arg);
  return true;
}
}  // namespace

bool WindowModel::AsEvent(const std::function<bool()>& handler) {
  ++eventDepth_;
  bool ran = false;
  try {
    ran = handler();
  } catch (...) {
    --eventDepth_;
    throw;
  }
  if (--eventDepth_ == 0 && ran) {
    for (const auto& after : afterEvent) after();
  }
  return ran;
}

bool WindowModel::Click(std::string_view name, int index) {
  return !busy && AsEvent([&] { return Raise(*this, click_, name, index, index); });
}
bool WindowModel::Key(std::string_view name, int code, int index) {
  return !busy && AsEvent([&] { return Raise(*this, key_, name, index, code); });
}
bool WindowModel::Hover(std::string_view name, int index) {
  return AsEvent([&] { return Raise(*this, hover_, name, index, index); });
}

void WindowModel::SetText(Control& textBox, const std::string& text) {
  if (textBox.caption == text) return;
  textBox.caption = text;
  auto it = change_.find(textBox.name);
  if (it != change_.end()) it->second();
}

bool WindowModel::Type(Control& textBox, const std::string& text) {
  if (busy || !Reachable(textBox) || textBox.readOnly) return false;
  return AsEvent([&] {
    SetText(textBox, text);
    return true;
  });
}

bool WindowModel::TypeKey(Control& textBox, const std::string& text) {
  keyTypingBox_ = &textBox;
  const bool typed = Type(textBox, text);
  keyTypingBox_ = nullptr;
  return typed;
}

bool WindowModel::LostFocus(std::string_view name, int index) {
  auto it = lostFocus_.find(std::string(name));
  const Control* c = Find(name, index);
  if (busy || it == lostFocus_.end() || (c != nullptr && !Reachable(*c))) return false;
  return AsEvent([&] {
    it->second();
    return true;
  });
}

bool WindowModel::GridKey(std::string_view keys) {
  // A grid out of reach (its panel disabled) takes no keys, as it takes no clicks.
  if (busy || !gridKey_ || (Label3[0] != nullptr && !Reachable(*Label3[0]))) return false;
  return AsEvent([&] { return gridKey_(keys); });
}

void WindowModel::BusyRunner::Run(const std::string& title, WorkUnit unit, Work work, Done done) {
  model_.busy = true;
  runner_.Run(title, unit, std::move(work),
              [this, done = std::move(done)](const WorkResult& result) {
                model_.busy = false;
                // What the work's end changes is an event of its own (a search's hit ends
                // long after the key that started it).
                model_.AsEvent([&] {
                  if (done) done(result);
                  return true;
                });
              });
  model_.busy = false;  // also when the runner never called back
}

void WindowModel::Report(const std::string& text) {
  std::string line;
  line.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    line += text[i] == '\n' || text[i] == '\r' ? ' ' : text[i];
  }
  state.lastResult = std::move(line);
}

int WindowModel::ReportingPrompter::MessageBox(const std::string& text, int style,
                                               const std::string& title) {
  // A question (any buttons but OK alone) is not a result; what follows from its answer is.
  if ((style & 7) == kStyleOk) model_.Report(text);
  return prompter_.MessageBox(text, style, title);
}

void WindowModel::SetMousePointer(int pointer) {
  mousePointer_ = pointer;
  if (mousePointerChanged) mousePointerChanged(pointer);
}

}  // namespace dulvex
