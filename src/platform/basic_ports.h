// Plain adapters of the ports: the ones tarvex-cli uses, and recording ones
// for tests and headless runs.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/ports.h"

namespace tarvex {

// Prints every message to stderr as "message N: text"; own-caption boxes as
// "caption: text". Yes/No questions are answered with the preset answer.
class StderrMessages : public Messages {
 public:
  explicit StderrMessages(bool answer = false) : answer_(answer) {}
  int message(unsigned code, const std::string& text) override {
    std::fprintf(stderr, "message %u: %s\n", code, text.c_str());
    ++count_;
    return 0;
  }
  int box(const std::string& caption, const std::string& text, BoxIcon) override {
    std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
    return 0;
  }
  bool ask_yes_no(const std::string& caption, const std::string& text) override {
    std::fprintf(stderr, "%s: %s -> %s\n", caption.c_str(), text.c_str(), answer_ ? "yes" : "no");
    return answer_;
  }
  int count() const { return count_; }

 private:
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
  std::vector<unsigned> codes() const {
    std::vector<unsigned> c;
    for (const auto& s : shown) c.push_back(s.code);
    return c;
  }
  std::vector<Shown> shown;
  bool yes_answer = true;
};

class SteadyClock : public Clock {
 public:
  std::uint32_t now_ms() override {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  void beep() override { std::fputc('\a', stderr); }
};

// A clock that moves on only when told, or by a fixed step each time it is read.
class VirtualClock : public Clock {
 public:
  explicit VirtualClock(std::uint32_t step_per_read = 1) : step_(step_per_read) {}
  std::uint32_t now_ms() override {
    now_ += step_;
    return now_;
  }
  void advance(std::uint32_t ms) { now_ += ms; }
  void beep() override { ++beeps; }
  int beeps = 0;

 private:
  std::uint32_t now_ = 0;
  std::uint32_t step_;
};

class NullPump : public EventPump {
 public:
  void pump() override { ++pumps; }
  bool abort_requested() override { return abort; }
  void clear_abort() override { abort = false; }
  int pumps = 0;
  bool abort = false;
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
