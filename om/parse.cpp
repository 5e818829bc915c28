// Text links: path lookup in an object's scope, expressions over paths and numbers, and
// "name => expression;" definitions.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "om/om_text.h"
#include "om_internal.h"
#include "svc/err.h"
#include "svc/number.h"

namespace om {

namespace {

constexpr int kMaxExprDepth = 200;
// Steps of one expression: numbers, operands and operators together. A link is a formula,
// not a program; a text past this is refused where it is written rather than left to cost
// time and memory at every read.
constexpr size_t kMaxExprSteps = 10000;

// Recursive-descent parser over one expression text (recursing only into parentheses and
// signs, which the depth bound limits); operands become paths to resolve. The result is
// postfix code.
class ExprParser {
 public:
  ExprParser(std::string_view text, uint32_t scope) : text_(text), scope_(scope) {}

  Expr* parse() {
    bool ok = sum(0);
    skipSpace();
    if (ok && pos_ < text_.size()) fail("unexpected text after the expression");
    if (!error_.empty()) return nullptr;
    Expr* e = new Expr;
    e->code = std::move(code_);
    return e;
  }
  const std::string& error() const { return error_; }
  size_t errorOffset() const { return errorPos_; }
  const std::vector<uint32_t>& operands() const { return operands_; }

 private:
  void skipSpace() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  bool fail(const char* message) {
    if (error_.empty()) {
      error_ = message;
      errorPos_ = pos_;
    }
    return false;
  }
  bool emit(Expr::Op op, double number = 0, int operand = 0) {
    if (code_.size() >= kMaxExprSteps) return fail("the expression is too long");
    code_.push_back({op, operand, number});
    return true;
  }
  bool sum(int depth) {
    if (!product(depth)) return false;
    while (true) {
      skipSpace();
      Expr::Op op;
      if (text_.substr(pos_, 3) == "<+>") {
        pos_ += 3;
        op = Expr::kAdd;
      } else if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) {
        op = text_[pos_++] == '+' ? Expr::kAdd : Expr::kSub;
      } else {
        return true;
      }
      if (!product(depth) || !emit(op)) return false;
    }
  }
  bool product(int depth) {
    if (!unary(depth)) return false;
    while (true) {
      skipSpace();
      if (pos_ >= text_.size() || (text_[pos_] != '*' && text_[pos_] != '/')) return true;
      Expr::Op op = text_[pos_++] == '*' ? Expr::kMul : Expr::kDiv;
      if (!unary(depth) || !emit(op)) return false;
    }
  }
  bool unary(int depth) {
    if (depth > kMaxExprDepth) return fail("expression nested too deeply");
    skipSpace();
    if (pos_ >= text_.size()) return fail("expression ends too early");
    char c = text_[pos_];
    if (c == '-') {
      ++pos_;
      return unary(depth + 1) && emit(Expr::kNeg);
    }
    if (c == '(') {
      ++pos_;
      if (!sum(depth + 1)) return false;
      skipSpace();
      if (pos_ >= text_.size() || text_[pos_] != ')') return fail("')' expected");
      ++pos_;
      return true;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) ||
        (c == '.' && pos_ + 1 < text_.size() &&
         std::isdigit(static_cast<unsigned char>(text_[pos_ + 1])))) {
      // Only the number's own characters are copied: copying the rest of a long text for
      // every number would make parsing quadratic.
      size_t n = 0;
      while (pos_ + n < text_.size()) {
        char d = text_[pos_ + n];
        bool sign = (d == '+' || d == '-') && n > 0 && std::strchr("eEpP", text_[pos_ + n - 1]);
        if (!std::isalnum(static_cast<unsigned char>(d)) && d != '.' && !sign) break;
        ++n;
      }
      std::string rest(text_.substr(pos_, n));
      char* end = nullptr;
      double v = NUMstrtod(rest.c_str(), &end);
      pos_ += static_cast<size_t>(end - rest.c_str());
      return emit(Expr::kNum, v);
    }
    return path();
  }
  bool path() {
    size_t start = pos_;
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '#' ||
          c == '[' || c == ']')
        ++pos_;
      else
        break;
    }
    if (pos_ == start) return fail("a number, a path or '(' expected");
    std::string p(text_.substr(start, pos_ - start));
    uint32_t target = OMresolve_path(idOf(scope_), p.c_str()).serial;
    if (!target) {
      pos_ = start;
      error_ = "'" + p + "' names nothing";
      errorPos_ = start;
      return false;
    }
    // One operand per distinct target: "a + a" reads a once.
    auto at = std::find(operands_.begin(), operands_.end(), target);
    if (at == operands_.end()) at = operands_.insert(operands_.end(), target);
    return emit(Expr::kOperand, 0, static_cast<int>(at - operands_.begin()));
  }

  std::string_view text_;
  uint32_t scope_;
  size_t pos_ = 0;
  std::string error_;
  size_t errorPos_ = 0;
  std::vector<Expr::Step> code_;
  std::vector<uint32_t> operands_;
};

// Runs postfix code over the operands' values with a stack of its own.
bool run(const Expr& e, const std::vector<double>& values, double* out) {
  std::vector<double> stack;
  stack.reserve(16);
  for (const Expr::Step& s : e.code) {
    switch (s.op) {
      case Expr::kNum:
        stack.push_back(s.number);
        continue;
      case Expr::kOperand:
        if (s.operand < 0 || static_cast<size_t>(s.operand) >= values.size()) return false;
        stack.push_back(values[static_cast<size_t>(s.operand)]);
        continue;
      case Expr::kNeg:
        if (stack.empty()) return false;
        stack.back() = -stack.back();
        continue;
      default:
        break;
    }
    if (stack.size() < 2) return false;
    double r = stack.back();
    stack.pop_back();
    double& l = stack.back();
    switch (s.op) {
      case Expr::kAdd:
        l += r;
        break;
      case Expr::kSub:
        l -= r;
        break;
      case Expr::kMul:
        l *= r;
        break;
      case Expr::kDiv:
        if (r == 0) return false;  // a division by zero has no value: reads as unset
        l /= r;
        break;
      default:
        return false;
    }
  }
  if (stack.size() != 1) return false;
  *out = stack.back();
  return true;
}

}  // namespace

bool evalExpr(uint32_t serial, double* out) {
  // Cycles are refused when links are made; the depth bound keeps a corrupted store from
  // exhausting the stack all the same.
  static int depth = 0;
  Obj* o = find(serial);
  if (!o || !o->has(kExpr) || depth > 256) return false;
  std::vector<uint32_t> operands;
  for (uint32_t c = o->firstChild; c; c = find(c)->nextSibling) {
    Obj* co = find(c);
    if (co->has(kHidden)) operands.push_back(c);
  }
  // Each operand is read once, before the code runs: a chain of expressions that each use
  // the one before several times costs its length, not a power of it.
  std::vector<double> values(operands.size());
  ++depth;
  bool ok = true;
  for (size_t i = 0; ok && i < operands.size(); ++i)
    ok = OMget_real_val(idOf(operands[i]), &values[i]) == 1;
  --depth;
  if (!ok) return false;
  Obj* again = find(serial);  // a read may run a value getter
  return again && again->has(kExpr) && run(*again->value<Expr*>(), values, out);
}

}  // namespace om

using namespace om;

OMobj_id OMresolve_path(OMobj_id scope, const char* path) {
  if (!find(scope) || !path) return OMnull_obj;
  std::string_view p(path);
  while (!p.empty() && p.front() == ' ') p.remove_prefix(1);
  while (!p.empty() && p.back() == ' ') p.remove_suffix(1);
  uint32_t at = scope.serial;
  bool anchored = false;
  // Leading "." stays at scope; each ".." step goes up one container.
  while (!p.empty() && p.front() == '.') {
    anchored = true;
    if (p.substr(0, 2) == "..") {
      Obj* o = find(at);
      if (!o || !o->parent) return OMnull_obj;
      at = o->parent;
      p.remove_prefix(2);
      if (!p.empty() && p.front() == '.') p.remove_prefix(1);
    } else {
      p.remove_prefix(1);
    }
  }
  if (p.empty()) return anchored ? idOf(at) : OMnull_obj;
  std::string rest(p);
  if (anchored) return OMfind_str_subobj(idOf(at), rest.c_str(), 0);
  // Unanchored: the first step is searched upward through the containers.
  for (uint32_t s = at; s; s = find(s)->parent) {
    OMobj_id hit = OMfind_str_subobj(idOf(s), rest.c_str(), 0);
    if (hit.serial) return hit;
  }
  return OMnull_obj;
}

int OMset_expression(OMobj_id prop, OMobj_id scope, const char* text, std::string* error,
                     int* offset) {
  std::string ignored;
  int ignoredOffset = 0;
  if (!error) error = &ignored;
  if (!offset) offset = &ignoredOffset;
  Obj* o = find(prop);
  if (!o || o->has(kDying) || !text) {
    *error = "no such object";
    *offset = 0;
    return 0;
  }
  ExprParser parser(text, scope.serial);
  Expr* e = parser.parse();
  if (!e) {
    *error = parser.error();
    *offset = static_cast<int>(parser.errorOffset());
    return 0;
  }
  if (e->code.size() == 1 && e->code[0].op == Expr::kOperand) {
    // A lone path is a plain reference.
    uint32_t target = parser.operands()[0];
    delete e;
    if (target == prop.serial || !makeRef(prop.serial, target, "OMset_expression")) {
      *error = "reference cycle";
      *offset = 0;
      return 0;
    }
  } else {
    for (uint32_t target : parser.operands()) {
      if (dependsOn(target, prop.serial)) {
        delete e;
        *error = "reference cycle";
        *offset = 0;
        return 0;
      }
    }
    clearValue(o, prop.serial);
    for (uint32_t target : parser.operands()) {
      uint32_t operand = newObj(0, OM_KIND_REF, prop.serial);
      find(operand)->flags |= kHidden;
      makeRef(operand, target, "OMset_expression");
    }
    o = find(prop);
    o->setValue(e);
    o->flags |= kExpr;
  }
  changed(prop.serial);
  maybeFlush();
  return 1;
}

int OMparse_buffer(OMobj_id obj, const char* text, int) {
  if (!find(obj) || !text) return 0;
  std::string_view all(text);
  while (!all.empty()) {
    size_t end = all.find(';');
    std::string_view def = all.substr(0, end);
    all = end == std::string_view::npos ? std::string_view() : all.substr(end + 1);
    size_t arrow = def.find("=>");
    std::string name(def.substr(0, arrow == std::string_view::npos ? def.size() : arrow));
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back()))) name.pop_back();
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front())))
      name.erase(0, 1);
    if (name.empty() && arrow == std::string_view::npos) continue;  // blank between ';'s
    if (arrow == std::string_view::npos || name.empty()) {
      ERRerror("OMparse_buffer", 0, 2, "bad definition: %s", std::string(def).c_str());
      return 0;
    }
    OMobj_id prop = OMfind_str_subobj(obj, name.c_str(), 0);
    if (!prop.serial) {
      ERRerror("OMparse_buffer", 0, 2, "no property %s to define", name.c_str());
      return 0;
    }
    std::string error;
    std::string expr(def.substr(arrow + 2));
    if (!OMset_expression(prop, obj, expr.c_str(), &error, nullptr)) {
      ERRerror("OMparse_buffer", 0, 2, "%s: %s", name.c_str(), error.c_str());
      return 0;
    }
  }
  return 1;
}
