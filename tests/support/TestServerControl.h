// What tests use to make the test server misbehave on purpose.
#ifndef HALVEX_TEST_SERVER_CONTROL_H
#define HALVEX_TEST_SERVER_CONTROL_H

namespace testsupport {

// While this named event is set, every value of the slow item takes until
// it is reset (at most 30 s): an application that blocks inside ReadAt.
constexpr const char kSlowReadsEvent[] = "Halvex.TestServer.SlowReads";
// The slow item (the sixth: values 5000 and up), for the server and clients.
constexpr const char kSlowItem[] = "A.B.C";
constexpr const wchar_t kSlowItemId[] = L"A.B.C";

}  // namespace testsupport

#endif
