// A scripted list of hostile datagrams against a running server, each from
// a fresh port unless the attack is about one port, with the reply each must
// get: an ERROR with a given code and the table's text, a transfer of the
// right bytes, or nothing at all.
//
//   hostile_peer --port P --served ABS_DIR --outside ABS_FILE --seed S
//
// The served directory must hold file.txt ("hello\n") and big.bin (2000
// bytes from make_file 2000 2000), and be the server's restricted directory.
// ABS_FILE is a file outside it that must never be read. Prints one line per
// failed check and a summary line with the number of oversized datagrams
// sent, which the server must report as receive errors.

#include "udp_peer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

struct Options
{
    std::uint16_t port = 69;
    std::string served;
    std::string outside;
    std::uint64_t seed = 1;
};

Options options;
sockaddr_in server{};
int checks = 0;
int failures = 0;
int oversized = 0;
int restricted = 0; // refusals the server must log as outside its directory
int invalid = 0;    // refusals the server must log as invalid names
const std::string kHello = "hello\n";

void Fail(const std::string& attack, const std::string& what)
{
    std::printf("FAIL %s: %s\n", attack.c_str(), what.c_str());
    ++failures;
}

const char* TableText(int code)
{
    switch (code) {
    case 1:
        return "File not found";
    case 2:
        return "Access violation";
    case 4:
        return "Illegal TFTP operation";
    default:
        return "";
    }
}

// An ERROR reply must be well formed: opcode 5, the code, the table's text,
// one NUL at the very end, and no longer than 516 bytes.
void CheckError(const std::string& attack, const std::optional<std::string>& reply, int code)
{
    ++checks;
    if (!reply) {
        Fail(attack, "no reply; expected error " + std::to_string(code));
        return;
    }
    std::string expected = "\0\5\0"s + static_cast<char>(code) + TableText(code) + '\0';
    if (*reply != expected)
        Fail(attack, "expected error " + std::to_string(code) + ", got " + rel::Printable(*reply));
}

// The server handles datagrams one at a time in the order they arrive, and
// a reply is queued on the peer's socket before the next one is read. So
// once the answer to a later request from another port is in, whatever an
// earlier datagram was going to cause has been sent: silence is checked
// without waiting on the clock.
void Barrier()
{
    static rel::Peer barrier;
    barrier.SendTo(server, rel::Request(rel::kRrq, "barrier", "barrier"));
    auto reply = barrier.Receive(5000);
    ++checks;
    if (!reply || rel::Word(*reply, 0) != rel::kError)
        Fail("barrier", "the server did not answer a request");
}

void CheckSilence(const std::string& attack, const rel::Peer& peer)
{
    Barrier();
    ++checks;
    if (auto reply = peer.Receive(0))
        Fail(attack, "expected no reply, got " + rel::Printable(*reply));
}

// Sends one datagram from a fresh port and checks for the given error.
void ExpectError(const std::string& attack, const std::string& datagram, int code)
{
    rel::Peer peer;
    peer.SendTo(server, datagram);
    CheckError(attack, peer.Receive(3000), code);
}

void ExpectSilence(const std::string& attack, const std::string& datagram)
{
    rel::Peer peer;
    peer.SendTo(server, datagram);
    CheckSilence(attack, peer);
}

// A read that must be served: DATA 1 with file.txt's bytes, then the ACK
// that ends it.
void ExpectHello(const std::string& attack, const std::string& datagram)
{
    rel::Peer peer;
    peer.SendTo(server, datagram);
    auto reply = peer.Receive(3000);
    ++checks;
    if (!reply || *reply != rel::Data(1, kHello)) {
        Fail(attack,
             "expected DATA 1 of file.txt, got " + (reply ? rel::Printable(*reply) : "nothing"s));
        return;
    }
    peer.SendTo(server, rel::Ack(1));
}

void Traversal()
{
    const std::vector<std::string> outsideNames = {
        "../secret.txt",
        "..\\secret.txt",
        "..\\../secret.txt",
        "../..\\secret.txt",
        "sub/../../secret.txt",
        "sub\\..\\..\\secret.txt",
        "./../secret.txt",
        ".\\..\\secret.txt",
        "/etc/passwd",
        "\\etc\\passwd",
        "/etc\\passwd",
        options.outside,
        "//" + options.outside,
        "../served-not/../secret.txt",
        "sub/file.txt",
        "\\file.txt",
        "/file.txt",
        // So many steps up that they fold to the root.
        [] {
            std::string up;
            for (int i = 0; i < 100; ++i)
                up += i % 2 == 0 ? "../" : "..\\";
            return up + "etc/passwd";
        }(),
    };
    for (const std::string& name : outsideNames) {
        restricted += 2;
        ExpectError("read " + name, rel::Request(rel::kRrq, name, "octet"), 2);
        ExpectError("write " + name, rel::Request(rel::kWrq, name, "octet"), 2);
    }
    // "." and ".." as the name part, alone or after a directory part.
    for (const std::string& name :
         {"."s, ".."s, "./."s, "./.."s, ".\\.."s, "sub/.."s, ""s, "/"s, "\\"s, "./"s}) {
        invalid += 2;
        ExpectError("read name part " + name, rel::Request(rel::kRrq, name, "octet"), 2);
        ExpectError("write name part " + name, rel::Request(rel::kWrq, name, "octet"), 2);
    }
    // The served directory itself, named in ways that resolve to it.
    ExpectHello("read ./file.txt", rel::Request(rel::kRrq, "./file.txt", "octet"));
    ExpectHello("read .\\file.txt", rel::Request(rel::kRrq, ".\\file.txt", "octet"));
    ExpectHello("read absolute", rel::Request(rel::kRrq, options.served + "/file.txt", "octet"));
    ExpectHello("read sub/../file.txt", rel::Request(rel::kRrq, "sub/../file.txt", "octet"));
}

void LongNames()
{
    for (std::size_t length : {255u, 256u, 507u}) {
        std::string name(length, 'n');
        std::string what = std::to_string(length) + "-byte name";
        ExpectError("read " + what, rel::Request(rel::kRrq, name, "octet"), 2);
        ExpectError("write " + what, rel::Request(rel::kWrq, name, "octet"), 2);
    }
    // A directory part that cannot be resolved within 255 characters.
    ExpectError("read 300-byte directory part",
                rel::Request(rel::kRrq, std::string(300, 'd') + "/file.txt", "octet"), 2);
    ExpectError("write 300-byte directory part",
                rel::Request(rel::kWrq, std::string(300, 'd') + "\\x", "octet"), 2);
    // 507 bytes of name fill a 516-byte request exactly; a byte in place of
    // the final NUL leaves the mode unterminated inside the datagram.
    std::string full = rel::Request(rel::kRrq, std::string(507, 'n'), "octet");
    if (full.size() != 516)
        Fail("507-byte name", "request is " + std::to_string(full.size()) + " bytes");
    ExpectError("516-byte request, mode without NUL", full.substr(0, 515) + "x", 4);
}

void NulTricks()
{
    ExpectError("mode after a second NUL", "\0\1file.txt\0../secret.txt\0octet\0"s, 4);
    ExpectError("empty mode", "\0\1file.txt\0\0"s, 4);
    ExpectError("mode without NUL", "\0\1file.txt\0octet"s, 4);
    ExpectError("name without NUL", "\0\1file.txt"s, 4);
    ExpectError("opcode only", "\0\1"s, 4);
    invalid += 2;
    ExpectError("empty name", "\0\1\0octet\0"s, 2);
    ExpectError("write with empty name", "\0\2\0octet\0"s, 2);
    ExpectHello("name then NUL then more", "\0\1file.txt\0octet\0../secret.txt\0"s);
    ExpectError("NUL inside the name", "\0\1file\0.txt\0octet\0"s, 4);
    // The name ends at its first NUL: "secret" is looked for, not the rest.
    ExpectError("NUL hides a traversal", "\0\1secret\0/../../secret.txt\0octet\0"s, 4);
}

void Modes()
{
    for (const std::string& mode : {"oct\xe9t"s, "\xff\xfe"s, "octet\x80"s, "\x80"s, "\xcf\x83"s,
                                    "mail"s, "binary"s, " octet"s, "octet "s}) {
        ExpectError("mode " + rel::Printable(mode), rel::Request(rel::kRrq, "file.txt", mode), 4);
        ExpectError("write mode " + rel::Printable(mode), rel::Request(rel::kWrq, "file.txt", mode),
                    4);
    }
    ExpectHello("mode OCTET", rel::Request(rel::kRrq, "file.txt", "OCTET"));
    ExpectHello("mode OcTeT", rel::Request(rel::kRrq, "file.txt", "OcTeT"));
    // A high-bit name is a name like any other: here it names no file.
    ExpectError("high-bit name", rel::Request(rel::kRrq, "f\xe9\xff.txt", "octet"), 1);
}

// Every length from 0 to 600 and the largest IPv4 datagram, three ways: an
// RRQ without any NUL, a valid RRQ padded with option-like bytes, and seeded
// noise. Datagrams over 516 bytes must be dropped (and logged); shorter
// than 2 bytes, dropped silently.
void Lengths()
{
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 600; ++n)
        lengths.push_back(n);
    lengths.push_back(65507);
    std::string valid = rel::Request(rel::kRrq, "file.txt", "octet");
    for (std::size_t n : lengths) {
        std::string what = std::to_string(n) + "-byte ";
        std::string noNul = "\0\1"s + std::string(n > 2 ? n - 2 : 0, 'A');
        noNul.resize(n);
        if (n < 2 || n > 516)
            ExpectSilence(what + "RRQ without NUL", noNul);
        else
            ExpectError(what + "RRQ without NUL", noNul, 4);

        if (n >= valid.size()) {
            std::string padded = valid + std::string(n - valid.size(), 'o');
            if (n > 516)
                ExpectSilence(what + "padded RRQ", padded);
            else
                ExpectHello(what + "padded RRQ", padded);
        }

        // Noise: any reply must be a well-formed ERROR, never more than one.
        std::string noise = rel::SeededBytes(n, options.seed + n);
        rel::Peer peer;
        peer.SendTo(server, noise);
        Barrier();
        if (auto reply = peer.Receive(0)) {
            ++checks;
            std::uint16_t opcode = rel::Word(noise, 0);
            if (n > 516 || (opcode != rel::kRrq && opcode != rel::kWrq) ||
                rel::Word(*reply, 0) != rel::kError || reply->back() != '\0')
                Fail(what + "noise", "unexpected reply " + rel::Printable(*reply));
            if (peer.Receive(0))
                Fail(what + "noise", "more than one reply");
        }
        oversized += n > 516 ? 2 + (n >= valid.size() ? 1 : 0) : 0;
    }
}

// Requests that arrive from the port of a running transfer are ignored; the
// transfer goes on unharmed.
void MidTransfer()
{
    std::string big = rel::SeededBytes(2000, 2000);
    rel::Peer reader;
    reader.SendTo(server, rel::Request(rel::kRrq, "big.bin", "octet"));
    std::size_t offset = 0;
    for (std::uint16_t block = 1;; ++block) {
        auto data = reader.Receive(3000);
        std::string expected = rel::Data(block, big.substr(offset, 512));
        ++checks;
        if (!data || *data != expected) {
            Fail("read with requests in between", "block " + std::to_string(block) + " was " +
                                                      (data ? rel::Printable(*data) : "nothing"s));
            return;
        }
        if (block == 1) {
            reader.SendTo(server, rel::Request(rel::kRrq, "file.txt", "octet"));
            reader.SendTo(server, rel::Request(rel::kWrq, "big.bin", "octet"));
            reader.SendTo(server, rel::Request(rel::kRrq, "../secret.txt", "octet"));
            CheckSilence("requests during a read", reader);
            // Acknowledgements of blocks not yet sent are ignored too.
            reader.SendTo(server, rel::Ack(7));
            reader.SendTo(server, rel::Ack(65535));
            CheckSilence("ACKs ahead during a read", reader);
        }
        offset += 512;
        reader.SendTo(server, rel::Ack(block));
        if (expected.size() < 516)
            break;
    }
    CheckSilence("after the read", reader);

    // A write gets the same treatment, and a repeated DATA block is
    // acknowledged again without being written twice.
    rel::Peer writer;
    std::string upload = rel::SeededBytes(700, 700);
    auto expectAck = [&](const std::string& what, std::uint16_t block) {
        auto reply = writer.Receive(3000);
        ++checks;
        if (!reply || *reply != rel::Ack(block))
            Fail(what, "expected ACK " + std::to_string(block) + ", got " +
                           (reply ? rel::Printable(*reply) : "nothing"s));
    };
    writer.SendTo(server, rel::Request(rel::kWrq, "upload.bin", "octet"));
    expectAck("write with requests in between", 0);
    writer.SendTo(server, rel::Data(1, upload.substr(0, 512)));
    expectAck("write block 1", 1);
    writer.SendTo(server, rel::Request(rel::kRrq, "file.txt", "octet"));
    writer.SendTo(server, rel::Request(rel::kWrq, "upload.bin", "octet"));
    writer.SendTo(server, rel::Request(rel::kWrq, "../escape.bin", "octet"));
    CheckSilence("requests during a write", writer);
    writer.SendTo(server, rel::Data(3, "ahead"));
    CheckSilence("DATA ahead during a write", writer);
    writer.SendTo(server, rel::Data(1, upload.substr(0, 512)));
    expectAck("repeated block 1", 1);
    writer.SendTo(server, rel::Data(2, upload.substr(512)));
    expectAck("write block 2", 2);
    CheckSilence("after the write", writer);
}

// Opens a read of big.bin and returns once DATA 1 has come.
bool OpenRead(const rel::Peer& peer, const std::string& attack)
{
    peer.SendTo(server, rel::Request(rel::kRrq, "big.bin", "octet"));
    auto data = peer.Receive(3000);
    ++checks;
    if (!data || rel::Word(*data, 0) != rel::kData || rel::Word(*data, 2) != 1) {
        Fail(attack, "no DATA 1");
        return false;
    }
    return true;
}

// ERROR packets whose text has no NUL. Before each, a long datagram from
// another port fills the server's receive buffer with Z, so a text read
// past the datagram's end would show Zs in the log.
void ErrorsWithoutNul()
{
    auto fillBuffer = [] { ExpectError("filler", "\0\1"s + std::string(514, 'Z'), 4); };

    fillBuffer();
    {
        rel::Peer peer;
        if (OpenRead(peer, "ERROR without NUL")) {
            peer.SendTo(server, "\0\5\0\7abc"s);
            CheckSilence("ERROR without NUL", peer);
            peer.SendTo(server, rel::Ack(1));
            CheckSilence("ACK after the peer's ERROR", peer);
        }
    }
    fillBuffer();
    {
        rel::Peer peer;
        if (OpenRead(peer, "ERROR with no text")) {
            peer.SendTo(server, "\0\5\0\3"s);
            CheckSilence("ERROR with no text", peer);
        }
    }
    {
        rel::Peer peer;
        if (OpenRead(peer, "516-byte ERROR without NUL")) {
            peer.SendTo(server, "\0\5\0\1"s + std::string(512, 'E'));
            CheckSilence("516-byte ERROR without NUL", peer);
        }
    }
    {
        // Three bytes are no ERROR: the session lives on.
        rel::Peer peer;
        if (OpenRead(peer, "3-byte ERROR")) {
            peer.SendTo(server, "\0\5\0"s);
            CheckSilence("3-byte ERROR", peer);
            peer.SendTo(server, rel::Ack(1));
            auto data = peer.Receive(3000);
            ++checks;
            if (!data || rel::Word(*data, 0) != rel::kData || rel::Word(*data, 2) != 2)
                Fail("3-byte ERROR", "the session did not go on");
            peer.SendTo(server, "\0\5\0\0done\0"s);
        }
    }
    ExpectSilence("ERROR without NUL and without a session", "\0\5\0\2xyz"s);
    ExpectSilence("DATA without a session", rel::Data(1, "x"));
    ExpectSilence("ACK without a session", rel::Ack(1));
    ExpectSilence("unknown opcode", "\0\11abc\0"s);
    ExpectSilence("opcode 0", "\0\0\0\0"s);
}

bool ParseArguments(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--port")
            options.port = static_cast<std::uint16_t>(std::atoi(value));
        else if (name == "--served")
            options.served = value;
        else if (name == "--outside")
            options.outside = value;
        else if (name == "--seed")
            options.seed = std::strtoull(value, nullptr, 10);
        else
            return false;
    }
    return argc % 2 == 1 && !options.served.empty() && !options.outside.empty();
}

} // namespace

int main(int argc, char** argv)
{
    if (!ParseArguments(argc, argv)) {
        std::fprintf(stderr,
                     "usage: hostile_peer --port P --served ABS_DIR --outside ABS_FILE --seed S\n");
        return 2;
    }
    server = rel::Loopback(options.port);
    Traversal();
    LongNames();
    NulTricks();
    Modes();
    Lengths();
    MidTransfer();
    ErrorsWithoutNul();
    std::printf("checks=%d failed=%d oversized=%d restricted=%d invalid=%d\n", checks, failures,
                oversized, restricted, invalid);
    return failures == 0 ? 0 : 1;
}
