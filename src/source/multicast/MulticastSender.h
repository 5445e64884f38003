#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "source/multicast/SmsFile.h"

namespace kyv {

// Sends messages (each one whole frame record) to an IPv4 multicast group: each message goes out
// as datagrams of at most 20480 bytes, each with the 12-byte packet head, the packets of a
// message consecutively and in order, numbered from 0. Messages are numbered from 0 in the order
// they are sent. WriteSmsFile (SmsFile.h) publishes the group for players.
//
// Threads: one thread at a time calls Send.
class TMulticastSender {
 public:
  // Group: dotted IPv4 multicast address; InterfaceAddress: the dotted address of the interface
  // to send on, empty for the one the system's routes choose; Ttl: hops the datagrams may make.
  // Raises EKyvError with the reason when the socket cannot be set up.
  TMulticastSender(const std::string& Group, uint16_t Port, const std::string& InterfaceAddress,
                   int Ttl = 1);
  ~TMulticastSender();
  TMulticastSender(const TMulticastSender&) = delete;
  TMulticastSender& operator=(const TMulticastSender&) = delete;

  // Sends one message, waiting while the socket's buffer is full. Raises EKyvError when the
  // message is larger than a receiver takes (64 MiB) or a datagram cannot be sent.
  void Send(std::span<const uint8_t> Message);

  uint32_t MessagesSent() const noexcept { return FNextMessageId; }
  uint64_t DatagramsSent() const noexcept { return FDatagramsSent; }

 private:
  int FSocket = -1;
  uint8_t FGroup[16] = {};  // the destination, a sockaddr_in
  uint32_t FNextMessageId = 0;
  uint64_t FDatagramsSent = 0;
};

}  // namespace kyv
