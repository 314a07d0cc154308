// The reply document exactly as the service sends it: 23 members, always all present.

/** The service's reply to one read, untouched. Card members are "" when not filled. */
export interface Reply {
  /** 0 when the card was read, otherwise the code of the step that failed. */
  result: number;
  /** "" or the service's message (Chinese); with result 0 it says why pictures are missing. */
  errmsg: string;
  Name: string;
  Sex: string;
  Birth: string;
  ID: string;
  ValidBeg: string;
  ValidEnd: string;
  CardSign: string;
  Ethnicity: string;
  Address: string;
  Dept: string;
  NewAddress: string;
  PassId: string;
  IssNum: string;
  NationCode: string;
  NameEN: string;
  IssAuthCode: string;
  Reserved: string;
  CardVer: string;
  /** Base64 JPEG of the holder's photo, without a media-type prefix, or "". */
  photo: string;
  /** Base64 JPEG of the card's front face, or "". */
  frontImg: string;
  /** Base64 JPEG of the card's back face, or "". */
  backImg: string;
}

/** Names of the reply's string members, in the order the service writes them. */
export const REPLY_TEXT_MEMBERS = [
  "Address",
  "Birth",
  "CardSign",
  "CardVer",
  "Dept",
  "Ethnicity",
  "ID",
  "IssAuthCode",
  "IssNum",
  "Name",
  "NameEN",
  "NationCode",
  "NewAddress",
  "PassId",
  "Reserved",
  "Sex",
  "ValidBeg",
  "ValidEnd",
  "backImg",
  "errmsg",
  "frontImg",
  "photo",
] as const;

/** Every member of the reply; the schema in docs/reply.schema.json requires the same list. */
export const REPLY_MEMBERS = [...REPLY_TEXT_MEMBERS, "result"] as const;

/**
 * Why a value is not a reply document, or null when it is one. Only the shape is checked;
 * what the members say is for the card parser.
 */
export function replyShapeProblem(value: unknown): string | null {
  if (typeof value !== "object" || value === null || Array.isArray(value)) {
    return "the reply is not a JSON object";
  }
  const record = value as Record<string, unknown>;
  if (!Number.isInteger(record.result)) {
    return 'the reply has no integer member "result"';
  }
  for (const member of REPLY_TEXT_MEMBERS) {
    if (typeof record[member] !== "string") {
      return `the reply has no text member "${member}"`;
    }
  }
  return null;
}
