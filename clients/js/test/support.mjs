// Shared by the tests: the captured replies, and a stand-in for the service's WebSocket.

import { readFileSync, readdirSync } from "node:fs";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
// The committed replies, or those the capture script has just taken from the built program.
const repliesDir = process.env.VORN_REPLIES_DIR ?? join(here, "replies");

/** Captured reply texts by name (file name without .json), as the program wrote them. */
export const replies = Object.fromEntries(
  readdirSync(repliesDir)
    .filter((name) => name.endsWith(".json"))
    .map((name) => [name.slice(0, -5), JSON.parse(readFileSync(join(repliesDir, name), "utf8"))]),
);

export const schema = JSON.parse(
  readFileSync(join(here, "..", "..", "..", "docs", "reply.schema.json"), "utf8"),
);

/** The messages of a service that can watch, as its version lists them. */
export const WATCHING_SERVICE = ["readcard", "unwatch", "version", "watch"];

/**
 * A service behind fake sockets. Each "readcard" takes the next answer: a reply object is sent
 * back, "close" closes the connection without a reply, "silent" never answers. refuse makes
 * the next connection fail to open. With `messages` set, "version" lists them and "watch" and
 * "unwatch" are understood (push() sends to the watching connections); without, any other
 * message ends the connection, as a service from before the version message does.
 */
export class FakeService {
  constructor(messages = null) {
    this.messages = messages;
    this.answers = [];
    this.sockets = [];
    this.refuse = false;
    this.factory = (url) => this.connect(url);
  }

  /** Sends a reply document or event to every watching connection. */
  push(message) {
    for (const socket of this.sockets.filter((s) => s.watching && s.readyState === 1)) {
      socket.onmessage?.({ data: JSON.stringify(message) });
    }
  }

  get watchers() {
    return this.sockets.filter((s) => s.watching && s.readyState === 1).length;
  }

  /** What the service answers a message other than "readcard": a text, "close" or "silent". */
  answerTo(socket, text) {
    if (!this.messages?.includes(text)) return "close";
    if (text === "version") {
      const version = { messages: this.messages, name: "VornIdReader", replyFormat: 1 };
      return JSON.stringify({ ...version, version: "1.1.0" });
    }
    return JSON.stringify({ event: text === "watch" ? "watching" : "unwatched" });
  }

  connect(url) {
    const socket = new FakeSocket(this, url);
    this.sockets.push(socket);
    const refuse = this.refuse;
    setTimeout(() => (refuse ? socket.serverClose() : socket.serverOpen()), 1);
    return socket;
  }

  /** How many reads were asked for. */
  get requests() {
    return this.sockets.reduce(
      (count, socket) => count + socket.sent.filter((text) => text === "readcard").length,
      0,
    );
  }
}

class FakeSocket {
  constructor(service, url) {
    this.service = service;
    this.url = url;
    this.readyState = 0;
    this.sent = [];
    this.watching = false;
    this.onopen = this.onmessage = this.onerror = this.onclose = null;
  }

  serverOpen() {
    if (this.readyState !== 0) return;
    this.readyState = 1;
    this.onopen?.({});
  }

  serverClose() {
    if (this.readyState === 3) return;
    this.readyState = 3;
    this.onerror?.({});
    this.onclose?.({});
  }

  send(text) {
    if (this.readyState !== 1) throw new Error("not open");
    this.sent.push(text);
    const answer =
      text === "readcard"
        ? (this.service.answers.shift() ?? "silent")
        : this.service.answerTo(this, text);
    setTimeout(() => {
      if (this.readyState !== 1) return;
      if (this.service.messages?.includes(text) && text.endsWith("watch")) {
        this.watching = text === "watch";
      }
      if (answer === "close") this.serverClose();
      else if (answer !== "silent")
        this.onmessage?.({ data: typeof answer === "string" ? answer : JSON.stringify(answer) });
    }, 2);
  }

  close() {
    this.readyState = 3;
  }
}
