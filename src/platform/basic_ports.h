// Plain adapters of the ports: the ones tarvex-cli uses, and recording ones
// for tests and headless runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/ports.h"

namespace tarvex {

// Writes every message to the error stream as "message N: text"; own-caption
// boxes as "caption: text". Yes/No questions are answered with the preset
// answer (no, unless told: nothing is confirmed without a person present).
class StderrMessages : public Messages {
 public:
  explicit StderrMessages(std::ostream& err = std::cerr, bool answer = false)
      : err_(err), answer_(answer) {}
  int message(unsigned code, const std::string& text) override {
    err_ << "message " << code << ": " << text << "\n";
    ++count_;
    return 0;
  }
  int box(const std::string& caption, const std::string& text, BoxIcon) override {
    err_ << caption << (caption.empty() ? "" : ": ") << text << "\n";
    return 0;
  }
  bool ask_yes_no(const std::string& caption, const std::string& text) override {
    err_ << caption << ": " << text << " -> " << (answer_ ? "yes" : "no") << "\n";
    return answer_;
  }
  int count() const { return count_; }

 private:
  std::ostream& err_;
  bool answer_;
  int count_ = 0;
};

// Keeps every message and box it was asked to show.
class RecordingMessages : public Messages {
 public:
  struct Shown {
    unsigned code;  // 0 for own-caption boxes
    std::string caption;
    std::string text;
  };
  int message(unsigned code, const std::string& text) override {
    shown.push_back({code, "Tarvex", text});
    return 0;
  }
  int box(const std::string& caption, const std::string& text, BoxIcon) override {
    shown.push_back({0, caption, text});
    return 0;
  }
  bool ask_yes_no(const std::string& caption, const std::string& text) override {
    shown.push_back({0, caption, text});
    return yes_answer;
  }
  SaveChoice ask_save_discard_cancel(const std::string& caption, const std::string& text) override {
    shown.push_back({0, caption, text});
    ++save_questions;
    return save_answer;
  }
  std::vector<unsigned> codes() const {
    std::vector<unsigned> c;
    for (const auto& s : shown) c.push_back(s.code);
    return c;
  }
  std::vector<Shown> shown;
  bool yes_answer = true;
  // The answer to Save/Discard/Cancel questions, and how many were asked.
  SaveChoice save_answer = SaveChoice::Cancel;
  int save_questions = 0;
};

// The system's clocks: ticks from the steady clock (never set back), wall
// time from the calendar clock. The beep rings the terminal bell.
class SteadyClock : public Clock {
 public:
  std::uint32_t now_ms() override {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  std::time_t wall_time() override { return std::time(nullptr); }
  void beep() override { std::fputc('\a', stderr); }
  void sleep_ms(std::uint32_t ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
};

// The system's ticks with a wall time fixed at one local date and time, for
// repeatable output (tarvex-cli --now). The calendar time is read in the zone
// of the UT offset in force when the time is asked for (follow_zone points
// the clock at the settings' offset, which are read after the command line;
// UT until then); an impossible date rolls over (31 February is 2 or 3
// March).
class FixedWallClock : public SteadyClock {
 public:
  explicit FixedWallClock(const std::tm& local) : local_(local) {}
  std::time_t wall_time() override {
    return time_in_zone(local_, ut_offset_hours_ != nullptr ? *ut_offset_hours_ : 0);
  }
  void follow_zone(const std::int16_t* ut_offset_hours) { ut_offset_hours_ = ut_offset_hours; }

 private:
  std::tm local_;
  const std::int16_t* ut_offset_hours_ = nullptr;
};

// A clock that moves on only when told, or by a fixed step each time it is
// read. Its wall time starts at set_wall_time (the epoch unless told) and
// moves on with the ticks, a second per 1000 ms.
class VirtualClock : public Clock {
 public:
  explicit VirtualClock(std::uint32_t step_per_read = 1) : step_(step_per_read) {}
  std::uint32_t now_ms() override {
    now_ += step_;
    return now_;
  }
  std::time_t wall_time() override {
    return wall_start_ + static_cast<std::time_t>((now_ - wall_set_at_) / 1000);
  }
  void advance(std::uint32_t ms) { now_ += ms; }
  void sleep_ms(std::uint32_t ms) override { advance(ms); }
  // The wall time from now on.
  void set_wall_time(std::time_t t) {
    wall_start_ = t;
    wall_set_at_ = now_;
  }
  void beep() override { ++beeps; }
  int beeps = 0;

 private:
  std::uint32_t now_ = 0;
  std::uint32_t step_;
  std::time_t wall_start_ = 0;
  std::uint32_t wall_set_at_ = 0;
};

// An event pump with no window: counts its passes; press() records an input
// at once, as if the user had pressed it before the next pass.
class NullPump : public EventPump {
 public:
  void pump() override { ++pumps; }
  Inputs pending() const override { return pending_; }
  void clear(Inputs which = Inputs::all()) override { pending_ = pending_.without(which); }
  void press(Input input) { pending_ = pending_ | input; }
  int pumps = 0;

 private:
  Inputs pending_;
};

// Presses scripted at chosen clock times: each arrives on the first pass of
// the pump at or after its time, as a press is seen only when events are
// handled. The clock is read only while presses remain to be delivered.
class ScriptedPump : public NullPump {
 public:
  explicit ScriptedPump(Clock& clock) : clock_(clock) {}
  void press_at(std::uint32_t at_ms, Input input) { script_.push_back({at_ms, input}); }
  void pump() override {
    NullPump::pump();
    if (script_.empty()) return;
    const std::uint32_t now = clock_.now_ms();
    std::erase_if(script_, [&](const Scripted& s) {
      if (static_cast<std::int32_t>(now - s.at_ms) < 0) return false;
      press(s.input);
      return true;
    });
  }
  std::size_t scripted() const { return script_.size(); }

 private:
  struct Scripted {
    std::uint32_t at_ms;
    Input input;
  };
  Clock& clock_;
  std::vector<Scripted> script_;
};

// A progress window nobody sees.
class NullProgress : public Progress {
 public:
  void open(const std::string&) override {}
  void set_position(int) override {}
  void close() override {}
  void busy_cursor(bool) override {}
};

class RecordingProgress : public Progress {
 public:
  void open(const std::string& caption) override {
    captions.push_back(caption);
    is_open = true;
  }
  void set_position(int p) override { positions.push_back(p); }
  void close() override { is_open = false; }
  void busy_cursor(bool on) override {
    busy = on;
    busy_depth += on ? 1 : -1;
  }
  std::vector<std::string> captions;
  std::vector<int> positions;
  bool is_open = false;
  bool busy = false;
  // Ons less offs: the Qt cursor is a stack, so every command must leave 0.
  int busy_depth = 0;
};

class RecordingLauncher : public Launcher {
 public:
  bool start_detached(const std::string& program, const std::vector<std::string>& args) override {
    launched.emplace_back(program, args);
    return result;
  }
  std::vector<std::pair<std::string, std::vector<std::string>>> launched;
  bool result = true;
};

class RecordingDisplaySink : public DisplaySink {
 public:
  void set_title(const std::string& t) override { title = t; }
  void reload_bitmap(const std::string& path, bool colour) override {
    last_bitmap = path;
    last_colour = colour;
    ++reloads;
  }
  std::string title;
  std::string last_bitmap;
  bool last_colour = false;
  int reloads = 0;
};

}  // namespace tarvex
