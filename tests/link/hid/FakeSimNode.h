// A stand-in for the device emulator in the HID tests: a temporary NK7X_SIM_DIR holding emulated
// interfaces (listening SOCK_SEQPACKET sockets with their .info and .rdesc files), driven step by
// step from the test thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nk7x::test {

class FakeSimFolder {
  public:
    FakeSimFolder();  // creates the folder and points NK7X_SIM_DIR at it
    ~FakeSimFolder(); // unplugs everything, removes the folder, clears NK7X_SIM_DIR
    FakeSimFolder(const FakeSimFolder&) = delete;
    FakeSimFolder& operator=(const FakeSimFolder&) = delete;

    const std::string& Folder() const { return m_folder; }

    // Plugs one interface in; returns its index. The socket is created last, as the emulator does.
    int AddInterface(const std::string& name, int interfaceNumber, const std::vector<uint8_t>& descriptor,
                     uint16_t vendor = 0x0c45, uint16_t product = 0x0820, uint16_t version = 0x0100);
    std::string SocketPath(int index) const;

    // Accepts whatever connections wait on the interface; returns how many are open in all.
    size_t Accept(int index);
    // Sends one report to every open connection of the interface.
    bool Send(int index, const std::vector<uint8_t>& report);
    // One message from any connection of the interface, or empty after timeoutMs.
    std::vector<uint8_t> Receive(int index, int timeoutMs);
    // True when connection `c` of the interface was closed by the program.
    bool PeerClosed(int index, size_t c, int timeoutMs);
    // Closes every open connection of the interface (a waiting read must fail at once).
    void DropConnections(int index);
    // Removes the socket, closes the connections, removes the other files.
    void Unplug(int index);

  private:
    struct Interface {
        std::string base; // folder/NAME-miNN
        int listenFd = -1;
        std::vector<int> connections;
    };
    std::string m_folder;
    std::vector<Interface> m_interfaces;
};

} // namespace nk7x::test
