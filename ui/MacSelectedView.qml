import QtQuick
import Tendril.Ui
import QtQuick.Controls
import QtQuick.Layouts

// The "On iPhone" page: the selection in slot order. Rows are dragged to a
// new place and removed with their remove button or the Delete or Backspace
// key; both go to the store, and the page redraws from the list it publishes.
Item {
    id: page
    objectName: "selectedView"

    required property var appStore

    SelectedAppsModel {
        id: selection
        objectName: "selectedApps"
        store: page.appStore
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        Column {
            Layout.fillWidth: true
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            Layout.topMargin: 24
            Layout.bottomMargin: 16
            spacing: 2

            Text {
                text: "On iPhone"
                font.family: MacStyle.roundedFamily
                font.pixelSize: 20
                font.bold: true
                color: MacStyle.titleAmber
            }
            Text {
                text: "Drag to reorder, Delete to remove"
                font.pixelSize: 11
                color: MacStyle.white(0.3)
            }
        }

        Item {
            objectName: "emptyState"
            Layout.fillWidth: true
            Layout.fillHeight: true
            visible: selection.count === 0

            Column {
                anchors.centerIn: parent
                spacing: 12
                Symbol {
                    anchors.horizontalCenter: parent.horizontalCenter
                    name: "iphone.slash"
                    size: MacStyle.emptyStateSymbol
                    weight: "ultraLight"
                    color: MacStyle.white(0.2)
                }
                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "No apps selected yet"
                    font.pixelSize: 14
                    color: MacStyle.white(0.35)
                }
            }
        }

        ListView {
            id: list
            objectName: "selectedList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            visible: selection.count > 0
            clip: true
            model: selection
            focus: true
            keyNavigationEnabled: true
            boundsBehavior: Flickable.StopAtBounds
            currentIndex: -1
            ScrollBar.vertical: ScrollBar {}

            readonly property real rowPitch: 51
            // While a row is dragged: where it came from and where it would land.
            property int dragFrom: -1
            property int dragTarget: -1

            Keys.onDeletePressed: removeCurrent()
            Keys.onPressed: (event) => {
                if (event.key === Qt.Key_Backspace) {
                    removeCurrent()
                    event.accepted = true
                }
            }

            function removeCurrent() {
                if (currentIndex >= 0)
                    removeAt(currentIndex)
            }

            // The highlight stays on the row that takes the removed one's place.
            function removeAt(index) {
                selection.remove(index)
                currentIndex = Math.min(index, count - 1)
            }

            // A row whose top is at `top` lands on the nearest position.
            function targetFor(top) {
                return Math.max(0, Math.min(count - 1, Math.round(top / rowPitch)))
            }

            // The store takes the gap in front of which the row goes.
            function drop(from, top) {
                const target = targetFor(top)
                dragFrom = -1
                dragTarget = -1
                if (target !== from)
                    selection.move(from, target > from ? target + 1 : target)
                // The highlight (and so Delete) follows the moved row.
                currentIndex = target
            }

            // Rows between the dragged row's place and its target make room.
            function shiftFor(index) {
                if (dragFrom < 0 || index === dragFrom)
                    return 0
                if (dragFrom < index && index <= dragTarget)
                    return -rowPitch
                if (dragTarget <= index && index < dragFrom)
                    return rowPitch
                return 0
            }

            delegate: Item {
                id: slotRow
                objectName: "slotRow_" + index

                required property int index
                required property string displayName
                required property int slot
                required property bool hasIcon
                required property url iconSource

                width: ListView.view.width
                height: list.rowPitch
                z: dragArea.drag.active ? 10 : 0 // above the rows it passes

                HoverHandler {
                    id: hover
                }

                Rectangle {
                    id: body
                    z: 1 // its remove button above the row's drag area
                    width: slotRow.width
                    height: 50
                    y: 0.5
                    color: dragArea.drag.active || (list.activeFocus && list.currentIndex === slotRow.index)
                        ? MacStyle.white(0.1) : MacStyle.white(0.04)
                    transform: Translate {
                        y: list.shiftFor(slotRow.index)
                        Behavior on y { NumberAnimation { duration: 120 } }
                    }

                    RowLayout {
                        anchors.fill: parent
                        anchors.leftMargin: 16
                        anchors.rightMargin: 16
                        spacing: 12

                        Image {
                            Layout.preferredWidth: 38
                            Layout.preferredHeight: 38
                            visible: slotRow.hasIcon
                            source: slotRow.iconSource
                            sourceSize: Qt.size(38, 38)
                            asynchronous: true
                        }
                        Column {
                            Layout.fillWidth: true
                            spacing: 2
                            Text {
                                objectName: "slotName"
                                width: parent.width
                                elide: Text.ElideRight
                                text: slotRow.displayName
                                font.pixelSize: 14
                                font.weight: Font.DemiBold
                                color: "white"
                            }
                            Text {
                                objectName: "slotLabel"
                                text: "Slot %1".arg(slotRow.slot)
                                font.pixelSize: 11
                                color: Qt.rgba(1.0, 0.65, 0.25, 0.6)
                            }
                        }
                        Symbol {
                            objectName: "removeButton"
                            visible: !dragArea.drag.active && (hover.hovered
                                || (list.activeFocus && list.currentIndex === slotRow.index))
                            name: "xmark.circle.fill"
                            size: MacStyle.removeSymbol
                            color: MacStyle.white(removeArea.containsMouse ? 0.75 : 0.45)
                            Accessible.role: Accessible.Button
                            Accessible.name: "Remove " + slotRow.displayName

                            MouseArea {
                                id: removeArea
                                anchors.fill: parent
                                anchors.margins: -4
                                hoverEnabled: true
                                onClicked: list.removeAt(slotRow.index)
                            }
                        }
                    }
                }

                // Separators above and below each row.
                Rectangle {
                    width: parent.width
                    height: 1
                    y: parent.height - 0.5
                    color: MacStyle.white(0.06)
                }
                Rectangle {
                    visible: slotRow.index === 0
                    width: parent.width
                    height: 1
                    y: -0.5
                    color: MacStyle.white(0.06)
                }

                MouseArea {
                    id: dragArea
                    anchors.fill: parent
                    drag.target: body
                    drag.axis: Drag.YAxis
                    drag.threshold: 4
                    onPressed: {
                        list.currentIndex = slotRow.index
                        list.forceActiveFocus()
                    }
                    onPositionChanged: {
                        if (drag.active) {
                            list.dragFrom = slotRow.index
                            list.dragTarget = list.targetFor(slotRow.y + body.y)
                        }
                    }
                    onReleased: {
                        if (drag.active || body.y !== 0.5) {
                            const top = slotRow.y + body.y
                            body.y = 0.5
                            list.drop(slotRow.index, top)
                        }
                    }
                    onCanceled: {
                        body.y = 0.5
                        list.dragFrom = -1
                        list.dragTarget = -1
                    }
                }
            }
        }
    }
}
