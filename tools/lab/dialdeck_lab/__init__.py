"""Operator lab: a loopback stand-in for the operator's MGCP call agent."""

VERSION = "2.5.0.0"
