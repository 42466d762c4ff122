#pragma once

#include <QString>
#include <QStringList>

// A stand-in for the system resolver, linked into catalogue tests so that no name
// lookup ever leaves the machine (the configured name server is not on loopback).
// It replaces getaddrinfo() for the whole test process:
//   numeric addresses and "localhost"  the system resolver, which answers locally;
//   "<ms>-<tag>.slow.test"             fails after <ms> milliseconds;
//   "<n>.loop.test"                    127.0.0.<n> after LoopDelayMs;
//   "<tag>.held.test"                  waits until the test releases it; then answers
//                                      <tag> when it is an IPv4 address written with
//                                      dashes ("10-213-7-100"), and fails otherwise;
//   any other name                     fails at once.
namespace ResolverStub {

constexpr int LoopDelayMs = 100;

// Lookups of the name since the last reset().
int lookups(const QString &name);
// The most lookups that were under way at the same time since the last reset().
int maxInFlight();
int inFlight();
// Forgets what was counted; lookups still held go on.
void reset();

// Lets held lookups of the name go on, now and later; every held lookup when empty.
void release(const QString &name = QString());
// "+<name>" when a lookup began and "-<name>" when it returned, in that order, so
// that a test can tell what ran together and what waited for what, whatever the
// scheduler did to the threads.
QStringList events();

} // namespace ResolverStub
