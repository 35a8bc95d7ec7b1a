// Sends one request from a fresh port and prints the server's first reply in
// a form a shell test can compare exactly:
//
//   error CODE TEXT      TEXT with bytes outside printable ASCII as \xNN
//   data BLOCK LENGTH    LENGTH data bytes
//   ack BLOCK
//   none                 nothing within the wait
//   other BYTES
//
//   tftp_probe --port P (--read|--write) NAME [--mode MODE]
//
// A transfer that the reply opens is ended at once with an ERROR packet, so
// the server does not keep it.

#include "udp_peer.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    std::uint16_t port = 69;
    std::uint16_t opcode = 0;
    std::string name, mode = "octet";
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--port") {
            port = static_cast<std::uint16_t>(std::atoi(argv[i + 1]));
        } else if (option == "--read" || option == "--write") {
            opcode = option == "--read" ? rel::kRrq : rel::kWrq;
            name = argv[i + 1];
        } else if (option == "--mode") {
            mode = argv[i + 1];
        } else {
            opcode = 0;
            break;
        }
    }
    if (opcode == 0 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: tftp_probe --port P (--read|--write) NAME [--mode MODE]\n");
        return 2;
    }
    sockaddr_in server = rel::Loopback(port);
    rel::Peer peer;
    peer.SendTo(server, rel::Request(opcode, name, mode));
    auto reply = peer.Receive(5000);
    if (!reply) {
        std::printf("none\n");
        return 0;
    }
    std::uint16_t kind = rel::Word(*reply, 0);
    std::uint16_t number = rel::Word(*reply, 2);
    if (kind == rel::kError && reply->size() >= 5 && reply->back() == '\0') {
        std::string text = reply->substr(4, reply->size() - 5);
        std::printf("error %u %s\n", number, rel::Printable(text, 600).c_str());
        return 0;
    }
    if (kind == rel::kData || kind == rel::kAck) {
        peer.SendTo(server, std::string("\0\5\0\0probe done\0", 15));
        if (kind == rel::kData)
            std::printf("data %u %zu\n", number, reply->size() - 4);
        else
            std::printf("ack %u\n", number);
        return 0;
    }
    std::printf("other %s\n", rel::Printable(*reply, 600).c_str());
    return 0;
}
