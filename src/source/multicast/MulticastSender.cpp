#include "source/multicast/MulticastSender.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Errors.h"
#include "source/multicast/MulticastPacketHeader.h"

namespace kyv {

namespace {

std::string SystemError(int Error) {
  return std::string(std::strerror(Error)) + " (" + std::to_string(Error) + ")";
}

static_assert(sizeof(sockaddr_in) <= 16);

}  // namespace

TMulticastSender::TMulticastSender(const std::string& Group, uint16_t Port,
                                   const std::string& InterfaceAddress, int Ttl) {
  if (!IsMulticastGroup(Group)) throw EKyvError("Not an IPv4 multicast group: \"" + Group + "\"");
  if (Port == 0) throw EKyvError("A multicast group needs a port from 1 to 65535");
  if (Ttl < 0 || Ttl > 255)
    throw EKyvError("Multicast TTL out of range 0 to 255: " + std::to_string(Ttl));
  in_addr interface {};
  interface.s_addr = htonl(INADDR_ANY);
  if (!InterfaceAddress.empty() && inet_pton(AF_INET, InterfaceAddress.c_str(), &interface) != 1)
    throw EKyvError("Not a dotted IPv4 interface address: \"" + InterfaceAddress + "\"");

  FSocket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (FSocket < 0) throw EKyvError("Cannot make a UDP socket: " + SystemError(errno));
  try {
    const unsigned char ttl = static_cast<unsigned char>(Ttl);
    if (setsockopt(FSocket, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) < 0)
      throw EKyvError("Cannot set the multicast TTL: " + SystemError(errno));
    // Receivers on this computer hear the group too.
    const unsigned char loop = 1;
    if (setsockopt(FSocket, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) < 0)
      throw EKyvError("Cannot enable multicast loopback: " + SystemError(errno));
    if (!InterfaceAddress.empty() &&
        setsockopt(FSocket, IPPROTO_IP, IP_MULTICAST_IF, &interface, sizeof interface) < 0)
      throw EKyvError("Cannot send multicast on interface " + InterfaceAddress + ": " +
                      SystemError(errno));
  } catch (...) {
    ::close(FSocket);
    throw;
  }

  sockaddr_in group{};
  group.sin_family = AF_INET;
  group.sin_port = htons(Port);
  inet_pton(AF_INET, Group.c_str(), &group.sin_addr);
  std::memcpy(FGroup, &group, sizeof group);
}

TMulticastSender::~TMulticastSender() {
  ::close(FSocket);
}

void TMulticastSender::Send(std::span<const uint8_t> Message) {
  if (Message.size() > kMaxMessageSize)
    throw EKyvError("Message of " + std::to_string(Message.size()) +
                    " bytes is larger than a multicast receiver takes");
  // An empty message still goes out, as one packet without payload.
  const size_t count =
      std::max<size_t>(1, (Message.size() + kMaxPacketPayload - 1) / kMaxPacketPayload);
  TMulticastPacketHeader head{};
  head.MessageId = FNextMessageId;
  head.MessageSize = static_cast<uint32_t>(Message.size());
  head.PacketCount = static_cast<uint16_t>(count);
  uint8_t headBytes[TMulticastPacketHeader::kSize];

  sockaddr_in group;
  std::memcpy(&group, FGroup, sizeof group);
  for (size_t index = 0; index < count; ++index) {
    const size_t offset = index * kMaxPacketPayload;
    const size_t length = std::min(kMaxPacketPayload, Message.size() - offset);
    head.PacketIndex = static_cast<uint16_t>(index);
    head.Write(headBytes);
    iovec parts[2] = {{headBytes, sizeof headBytes},
                      {const_cast<uint8_t*>(Message.data() + offset), length}};
    msghdr datagram{};
    datagram.msg_name = &group;
    datagram.msg_namelen = sizeof group;
    datagram.msg_iov = parts;
    datagram.msg_iovlen = length == 0 ? 1 : 2;
    ssize_t sent;
    do {
      sent = ::sendmsg(FSocket, &datagram, 0);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) throw EKyvError("Cannot send to the multicast group: " + SystemError(errno));
    ++FDatagramsSent;
  }
  ++FNextMessageId;
}

}  // namespace kyv
