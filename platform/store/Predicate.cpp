#include "platform/store/Query.h"

#include "platform/store/detail/StoreCore.h"

// Predicates as values: each operator makes a new tree, sharing the operands'.
namespace platform {

using detail::PredicateNode;

Predicate::Predicate() : m_node(std::make_shared<PredicateNode>()) {}

static std::shared_ptr<PredicateNode> combine(PredicateNode::Kind kind, std::shared_ptr<PredicateNode> a,
                                              std::shared_ptr<PredicateNode> b) {
    auto node = std::make_shared<PredicateNode>();
    node->kind = kind;
    node->left = std::move(a);
    node->right = std::move(b);
    return node;
}

Predicate Predicate::operator&&(const Predicate &other) const {
    if (m_node->kind == PredicateNode::All)
        return other;
    if (other.m_node->kind == PredicateNode::All)
        return *this;
    return Predicate(combine(PredicateNode::And, m_node, other.m_node));
}

Predicate Predicate::operator||(const Predicate &other) const {
    return Predicate(combine(PredicateNode::Or, m_node, other.m_node));
}

Predicate Predicate::operator!() const {
    return Predicate(combine(PredicateNode::Not, m_node, nullptr));
}

Predicate Key::compare(const char *op, const QVariant &value) const {
    auto node = std::make_shared<PredicateNode>();
    node->kind = PredicateNode::Compare;
    node->path = m_path;
    node->op = QString::fromLatin1(op);
    node->value = value;
    return Predicate(node);
}

Predicate Key::operator==(const QVariant &value) const {
    return compare("=", value);
}
Predicate Key::operator!=(const QVariant &value) const {
    return compare("!=", value);
}
Predicate Key::operator<(const QVariant &value) const {
    return compare("<", value);
}
Predicate Key::operator<=(const QVariant &value) const {
    return compare("<=", value);
}
Predicate Key::operator>(const QVariant &value) const {
    return compare(">", value);
}
Predicate Key::operator>=(const QVariant &value) const {
    return compare(">=", value);
}

Predicate Key::in(const QVariantList &values) const {
    auto node = std::make_shared<PredicateNode>();
    node->kind = PredicateNode::In;
    node->path = m_path;
    node->values = values;
    return Predicate(node);
}

Predicate Key::contains(const QString &text, int options) const {
    auto node = std::make_shared<PredicateNode>();
    node->kind = PredicateNode::Contains;
    node->path = m_path;
    node->value = text;
    node->options = options;
    return Predicate(node);
}

Predicate Key::beginsWith(const QString &text, int options) const {
    Predicate p = contains(text, options);
    p.m_node->kind = PredicateNode::BeginsWith;
    return p;
}

Predicate Key::has(const Object &object) const {
    auto node = std::make_shared<PredicateNode>();
    node->kind = PredicateNode::Has;
    node->path = m_path;
    node->value = QVariant::fromValue(object);
    return Predicate(node);
}

} // namespace platform
