// The environment's text value and containers: thin classes over the standard library, with
// the operations the library uses. Needs no X.
#pragma once

#include <string>
#include <utility>
#include <vector>

// A text value: built from text (null gives the empty text), copied, assigned, appended to,
// compared with text or another UtString, concatenated with text.
class UtString {
 public:
  UtString() = default;
  UtString(const char* text) : s_(text ? text : "") {}  // NOLINT: converts like a text value
  UtString(const std::string& text) : s_(text) {}       // NOLINT
  UtString& operator=(const char* text) {
    s_ = text ? text : "";
    return *this;
  }
  UtString& operator+=(char c) {
    s_ += c;
    return *this;
  }
  UtString& operator+=(const char* text) {
    if (text) s_ += text;
    return *this;
  }
  UtString operator+(const char* text) const { return UtString(s_ + (text ? text : "")); }
  bool operator==(const char* text) const { return s_ == (text ? text : ""); }
  bool operator!=(const char* text) const { return !(*this == text); }
  bool operator==(const UtString& other) const { return s_ == other.s_; }
  bool operator!=(const UtString& other) const { return s_ != other.s_; }
  const char* c_str() const { return s_.c_str(); }
  operator const char*() const { return s_.c_str(); }  // NOLINT: passes where text is taken
  size_t length() const { return s_.size(); }
  bool empty() const { return s_.empty(); }

 private:
  std::string s_;
};

// A growable array.
template <typename T>
class UtVector {
 public:
  void append(const T& value) { items_.push_back(value); }
  size_t size() const { return items_.size(); }
  T& operator[](size_t i) { return items_[i]; }
  const T& operator[](size_t i) const { return items_[i]; }
  void clear() { items_.clear(); }
  typename std::vector<T>::iterator begin() { return items_.begin(); }
  typename std::vector<T>::iterator end() { return items_.end(); }
  typename std::vector<T>::const_iterator begin() const { return items_.begin(); }
  typename std::vector<T>::const_iterator end() const { return items_.end(); }

 private:
  std::vector<T> items_;
};

// Pairs searched linearly by key, in the order they were added.
template <typename K, typename V>
class UtMap {
 public:
  // The value for key, or null.
  V* find(const K& key) {
    for (auto& pair : pairs_)
      if (pair.first == key) return &pair.second;
    return nullptr;
  }
  // Adds a pair at the end (even if the key is there already) and returns its value.
  V& append(const K& key, const V& value) {
    pairs_.emplace_back(key, value);
    return pairs_.back().second;
  }
  size_t size() const { return pairs_.size(); }
  std::pair<K, V>& at(size_t i) { return pairs_[i]; }

 private:
  std::vector<std::pair<K, V>> pairs_;
};
