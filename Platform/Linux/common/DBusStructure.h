// D-Bus structures to and from QDBusArgument, field by field in order: what
// every struct Qt's D-Bus marshals needs, written once.
#pragma once

#include <QDBusArgument>

namespace dusk::backend {

template <typename... Fields>
QDBusArgument& writeStructure(QDBusArgument& argument, const Fields&... fields) {
    argument.beginStructure();
    (argument << ... << fields);
    argument.endStructure();
    return argument;
}

template <typename... Fields>
const QDBusArgument& readStructure(const QDBusArgument& argument, Fields&... fields) {
    argument.beginStructure();
    (argument >> ... >> fields);
    argument.endStructure();
    return argument;
}

}  // namespace dusk::backend
