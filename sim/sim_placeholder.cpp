// The simulated modem grows here.
namespace quorvel::sim {}
